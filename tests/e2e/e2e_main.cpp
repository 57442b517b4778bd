// e2e_main.cpp -- the main of every e2e test program: one Wine prefix for the whole process.
// Compiled into each test program with VELKORIN_E2E_DISPLAY set to 1 when its tests need windows
// (a private Xvfb display) and 0 when Wine's null graphics driver will do.
#include <gtest/gtest.h>

#include <exception>
#include <iostream>

#include "wine_session.h"

namespace {

class WineEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        try {
            e2e::WineSession::current().open(VELKORIN_E2E_DISPLAY ? e2e::Display::xvfb : e2e::Display::none);
        } catch (const std::exception& failure) {
            FAIL() << "cannot set up the Wine prefix: " << failure.what();
        }
        std::cout << "[ prefix   ] ready in " << e2e::WineSession::current().openSeconds() << " s\n";
    }
    void TearDown() override { e2e::WineSession::current().close(); }
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new WineEnvironment);
    return RUN_ALL_TESTS();
}
