// SPDX-License-Identifier: MIT
// Unit tests start every case from a fresh scripted machine.
#pragma once

#include <gtest/gtest.h>

#include "fake/fake_platform.h"

namespace quoril::test {

class FakeMachineTest : public ::testing::Test {
 protected:
  void SetUp() override { fake::ResetFakeSystem(); }
  void TearDown() override { fake::ResetFakeSystem(); }
  fake::FakeMachine& machine() { return fake::FakeSystem(); }
};

}  // namespace quoril::test
