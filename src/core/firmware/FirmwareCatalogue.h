#pragma once

// The four firmware images by index (0 main MCU, 1 key-panel MCU, 2 DSP 1, 3 DSP 2), their
// files in the lib folder and the version texts shown for them.

namespace q48 {

inline constexpr int kImageCount = 4;

// The complete file names inside lib; no extension is added.
inline constexpr const char *firmwareIds[kImageCount] = {"MB0126001505", "KB0122001505", "DA0120001505",
                                                         "DB0120001505"};

// Array names of the C-array export, chosen by the DSP selector of the engineering page.
inline constexpr const char *firmwareArrayNames[5] = {"Trelk_LPC1820_APP", "Trelk_LPC1763_APP",
                                                      "Trelk_DSP1_FIRWARE", "Trelk_DSP2_FIRWARE",
                                                      "Trelk_LCD_FIRWARE"};

// Keys of section "ver" in Ver.ini and their defaults, by image index.
inline constexpr const char *versionKeys[kImageCount] = {"MCU_VER", "KEY_VER", "DSP1_VER", "DSP2_VER"};
inline constexpr const char *defaultVersionTexts[kImageCount] = {
    "MCU_Firmware_1_V4.5", "MCU_Firmware_2_V2.8", "DSP_Firmware_1_V4.0", "DSP_Firmware_2_V4.0"};

inline constexpr const char *kDefaultAppVer = "V1.0.1";
inline constexpr const char *kDefaultAppName = "DigitalMixer Firmware UpdateTool";
inline constexpr const char *kDefaultAppUrl = "https://www.tavrine.example";
inline constexpr const char *kDefaultCompName = "Tavrine Technical Group Ltd.";
inline constexpr int kDefaultUtype = 0;
inline constexpr int kDefaultRebootDelay = 30;
// The device needs this long to restart after image 0, whatever Ver.ini says.
inline constexpr int kMinRebootDelay = 28;

inline constexpr const char *kVersionFileName = "Ver.ini";

// An image buffer holds 1024 packets of 1024 bytes; an image file carries two trailing bytes
// that are not part of the image.
inline constexpr int kImagePacketSize = 1024;
inline constexpr int kImageBufferSize = 1024 * 1024;
inline constexpr int kImageTrailerSize = 2;
inline constexpr int kMaxImageFileSize = kImageBufferSize + kImageTrailerSize;

} // namespace q48
