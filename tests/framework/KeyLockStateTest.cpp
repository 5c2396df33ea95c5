// The lock keys' states read from the keyboard LEDs.

#include "framework/KeyLockState.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace drel {
namespace {

void AddLed(const QTemporaryDir& dir, const QString& name, const char* brightness) {
    ASSERT_TRUE(QDir(dir.path()).mkpath(name));
    QFile file(QDir(dir.path()).filePath(name + "/brightness"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(brightness);
}

TEST(KeyLockStateTest, LitLedsAreLocksThatAreOn) {
    QTemporaryDir dir;
    AddLed(dir, "input3::capslock", "1\n");
    AddLed(dir, "input3::numlock", "0\n");
    AddLed(dir, "input7::numlock", "0\n");
    AddLed(dir, "input3::kana", "1\n");
    const KeyLocks locks = ReadKeyLocks(dir.path().toStdString());
    EXPECT_EQ(locks.caps, LockState::On);
    EXPECT_EQ(locks.num, LockState::Off);
    EXPECT_EQ(locks.scroll, LockState::Unknown);
}

TEST(KeyLockStateTest, OneLitKeyboardOfSeveralTurnsTheLockOn) {
    QTemporaryDir dir;
    AddLed(dir, "input3::scrolllock", "0\n");
    AddLed(dir, "input9::scrolllock", "1\n");
    EXPECT_EQ(ReadKeyLocks(dir.path().toStdString()).scroll, LockState::On);
}

TEST(KeyLockStateTest, WithoutLedsEveryStateIsUnknown) {
    const KeyLocks locks = ReadKeyLocks("/nonexistent/leds");
    EXPECT_EQ(locks.caps, LockState::Unknown);
    EXPECT_EQ(locks.num, LockState::Unknown);
    EXPECT_EQ(locks.scroll, LockState::Unknown);
}

}  // namespace
}  // namespace drel
