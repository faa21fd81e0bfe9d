// The console program run as a user runs it from a shell, on a world of the test's own: the demo network
// the console makes, or a network the test builds.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "sim/program_runner.h"
#include "sim/whole_file.h"
#include "sim/world_builder.h"

namespace support {

// Makes the demo network in `folder` with the console's demo command.
inline void make_demo_network(const std::string& folder) {
  ProgramRun demo = run_program(VORNIX_CONSOLE_PATH, "demo '" + folder + "'");
  ASSERT_EQ(demo.exit_code, 0) << demo.output;
}

// A network the test builds in builder_, which is also the world the console runs on.
class ConsoleTest : public ::testing::Test {
 protected:
  // The console on the world, as typed after the program's name: the arguments, then --server server_ when
  // one is set, then --world. Standard error joins the output unless it goes to error_file.
  ProgramRun run(const std::string& arguments, const std::string& error_file = "") const {
    return run_without_server(server_.empty() ? arguments : arguments + " --server " + server_, error_file);
  }
  ProgramRun run_without_server(const std::string& arguments, const std::string& error_file = "") const {
    return run_program(VORNIX_CONSOLE_PATH, arguments + " --world '" + world_ + "'", error_file);
  }
  // The output of a command that must succeed.
  std::string ok(const std::string& arguments) const {
    ProgramRun r = run(arguments);
    EXPECT_EQ(r.exit_code, 0) << arguments << "\n" << r.output;
    return r.output;
  }
  // A file of the world, by its path below the world's folder.
  std::string file(const std::string& relative) const { return read_whole_file(world_ + "/" + relative); }
  // The values of a key below SRV01's product key in its registry file, each on one line (continued lines
  // joined); empty when the key is not there.
  std::string key(const std::string& below) const {
    const std::string text = file("machines/SRV01/registry/HKLM.reg");
    const std::string header = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\" + below + "]\r\n";
    size_t at = text.find(header);
    if (at == std::string::npos) return "";
    at += header.size();
    std::string values = text.substr(at, text.find("\r\n\r\n", at) - at);
    for (size_t wrap; (wrap = values.find("\\\r\n  ")) != std::string::npos;) values.erase(wrap, 5);
    return values + "\r\n";
  }
  static bool has(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

  WorldBuilder builder_;
  std::string world_ = builder_.folder();  // the world's folder
  std::string server_;                     // named with --server by run when not empty
};

// The demo network, made afresh for each test in a folder of builder_'s.
class DemoConsoleTest : public ConsoleTest {
 protected:
  void SetUp() override {
    world_ = builder_.folder() + "/demo";
    make_demo_network(world_);
  }
};

}  // namespace support
