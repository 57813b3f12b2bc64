// The test program initialises OLE on its thread as the wizard does.

#include <gtest/gtest.h>
#include <ole2.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const HRESULT ole = ::OleInitialize(nullptr);
    const int result = RUN_ALL_TESTS();
    if (SUCCEEDED(ole)) ::OleUninitialize();
    return result;
}
