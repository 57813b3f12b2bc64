// GoogleTest's own customisation point, found before the stock one.
// The program is built with the Win32-thread compilers (their runtime needs
// nothing newer than Windows XP), whose C++ library has no std::mutex or
// std::condition_variable. GoogleTest uses those only for its Notification,
// which is given here with a Win32 event instead.
#ifndef WIZARD_GTEST_CUSTOM_PORT_H
#define WIZARD_GTEST_CUSTOM_PORT_H

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification();
    ~Notification();
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify();
    void WaitForNotification();

private:
    void* event_;  // a manual-reset event; <windows.h> stays out of every test
};

}  // namespace internal
}  // namespace testing

#endif
