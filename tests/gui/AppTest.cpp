#include "gui/COruApp.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/FreshRoot.h"

namespace {

using oru::COruApp;

TEST(OruApp, TheProfileIsNamedAfterTheProgramWithExtensionIni) {
    EXPECT_EQ(COruApp::ProfileFileName("/usr/bin/oru"), "oru.ini");
    EXPECT_EQ(COruApp::ProfileFileName("/opt/strovane/bin/oru.bin"), "oru.ini");
    // A dot in a directory's name is no extension of the program's.
    EXPECT_EQ(COruApp::ProfileFileName("/home/u/.local/bin/oru"), "oru.ini");
    EXPECT_EQ(COruApp::ProfileFileName("/home/u/.oru"), ".oru.ini");
    EXPECT_EQ(COruApp::ProfileFileName(""), "oru.ini");

    testsupport::FreshRoot root;
    ::unsetenv("ORU_PROFILE");
    EXPECT_EQ(COruApp::ProfilePath("/usr/bin/oru"), root.Path() + "/etc/oru.ini");
    ::setenv("ORU_PROFILE", "/tmp/elsewhere.ini", 1);
    EXPECT_EQ(COruApp::ProfilePath("/usr/bin/oru"), "/tmp/elsewhere.ini");
    ::unsetenv("ORU_PROFILE");
}

TEST(OruApp, AHostAndSerialOnTheCommandLineAskForThatDevice) {
    const COruApp::DeviceRequest request = COruApp::ParseCommandLine({"server1:QX0000000001"});
    EXPECT_EQ(request.host, "server1");
    EXPECT_EQ(request.serial, "QX0000000001");
    EXPECT_TRUE(request.openProperties);
    const COruApp::DeviceRequest none = COruApp::ParseCommandLine({"server1"});
    EXPECT_FALSE(none.openProperties);
    EXPECT_TRUE(none.host.empty());
    EXPECT_FALSE(COruApp::ParseCommandLine({}).openProperties);
}

}  // namespace
