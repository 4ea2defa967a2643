#pragma once

#include <gtest/gtest.h>

#include "automation/base/error.h"

namespace tavrio::automation::testing {

// The error `action` throws; a test failure when it throws none.
template <typename Action>
Error ErrorOf(Action action) {
  try {
    action();
  } catch (const Error& error) {
    return error;
  }
  ADD_FAILURE() << "no error was thrown";
  return Error(0, "");
}

}  // namespace tavrio::automation::testing
