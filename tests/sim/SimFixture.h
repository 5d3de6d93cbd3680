#pragma once

#include "SimPeer.h"
#include "SimProcess.h"

#include <QJsonObject>
#include <gtest/gtest.h>

#include <memory>

namespace q48::test {

// A simulator of the test's own, with one TCP connection to it.
class SimFixture : public ::testing::Test {
protected:
    void startSim(const QStringList &args = {})
    {
        sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
        peer = SimPeer::tcp(sim->tcpPort());
        ASSERT_TRUE(peer->isOpen());
    }
    QJsonObject stopAndSummarise()
    {
        sim->stop();
        return sim->summary();
    }

    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<SimPeer> peer;
};

} // namespace q48::test
