#pragma once

#include <gtest/gtest.h>

#include <string>

#include "common/program_run.h"
#include "control/settings.h"
#include "input/loader.h"
#include "test_support.h"

namespace qor_test {

// A run state with default settings in a fresh directory, reading its data
// from "data.txt"; tests adjust the settings before they load.
struct DataFileRun : ::testing::Test {
  TempDir dir;
  CapturedConsole captured;
  ProgramRun s{captured.console()};

  DataFileRun() {
    set_default_settings(s.settings);
    s.settings.AFNI = "data.txt";
  }
  void load(const std::string& bytes) {
    write_file("data.txt", bytes);
    load_data_matrix(s);
  }
};

}  // namespace qor_test
