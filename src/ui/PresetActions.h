#pragma once

namespace q48 {

// What the preset manager asks of the rest of the program: the link state, the preset
// commands, the preset file reader and the two memory transfers. The window decides when; this
// does the work.
class PresetActions {
public:
    virtual ~PresetActions() = default;

    virtual bool isConnected() const = 0;
    virtual void requestPresetList(int kind) = 0;
    virtual void sendPresetName(int kind, int slot, int channel) = 0;
    virtual void sendDeletePreset(int kind, int slot) = 0;
    virtual void requestPreset(int kind, int slot) = 0;
    // Asks, lets the user pick a preset file of the kind and checks it; true when it can be sent.
    virtual bool readPresetFile(int kind) = 0;
    virtual void sendPresetData(int kind, int channel) = 0;
    // The mixer's memory to a file ("Memory Import" button) and a file to the mixer ("Memory Export").
    // True only when the transfer really started: not after a declined prompt, a cancelled file
    // dialog, a refused file or without a link.
    virtual bool memoryExport() = 0;
    virtual bool memoryImport() = 0;
};

} // namespace q48
