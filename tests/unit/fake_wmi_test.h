// SPDX-License-Identifier: MIT
// Unit tests of the WMI exports start from a fresh scripted machine with a WMI of its own.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake/fake_wmi.h"
#include "fake_machine_test.h"

namespace quoril::test {

class FakeWmiTest : public FakeMachineTest {
 protected:
  fake::FakeWmi& wmi() { return machine().wmi; }

  static void AddBoard(fake::FakeInstance board) {
    fake::AddInstance(u"Win32_BaseBoard", std::move(board));
  }
  static void AddDrive(fake::FakeInstance drive) {
    fake::AddInstance(u"Win32_CDROMDrive", std::move(drive));
  }
  static fake::FakeProperty Text(std::u16string text) {
    return fake::FakeProperty::Text(std::move(text));
  }

  // Every object, string and library scope the call acquired is gone, the fake saw no misuse,
  // and the calling thread's COM initialisation is what it was before (`initializations`).
  void ExpectNothingHeld(int initializations = 0) {
    EXPECT_EQ(fake::LiveObjects(), 0u);
    EXPECT_EQ(wmi().liveStrings, 0);
    EXPECT_EQ(wmi().comLibraryScopes, 0);
    EXPECT_EQ(fake::CurrentThreadCom().initializations, initializations);
    std::string violations;
    for (const std::string& violation : wmi().violations) violations += violation + "; ";
    EXPECT_TRUE(wmi().violations.empty()) << violations;
  }

  // The events of the given kinds, in order (e.g. only the releases).
  std::vector<std::string> EventsStartingWith(const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& event : wmi().events) {
      if (event.rfind(prefix, 0) == 0) found.push_back(event);
    }
    return found;
  }
};

}  // namespace quoril::test
