#pragma once

#include <string>
#include <vector>

// One command of a run and its own arguments, checked as far as that is possible without the
// driver (numbers, options, the number of arguments).
struct HostCommand {
    std::string name;
    std::vector<std::string> args;  // names, NAME=VALUE pairs, a command's argument
    int frames = 10;                // grab -n, view --frames
    int seconds = 0;                // view --seconds
    bool continuous = false;        // grab --continuous
    bool single = false;            // view --single
    std::string out;                // grab --out, view --screenshot
};

// The host's command line: options anywhere, then
//   list | help | COMMAND CAMERA [ARGS] [COMMAND [ARGS]]... | CAMERA COMMAND [ARGS]...
// so that several commands run one after another on one open camera.
class CommandLine {
  public:
    enum class Action { Run, List, Help, Version };

    // False with one line in error (a usage error: exit 2).
    bool Parse(int argc, char** argv);
    // Parses the commands that follow the camera (also each line of an interactive session).
    static bool ParseCommands(const std::vector<std::string>& tokens,
                              std::vector<HostCommand>& commands, std::string& error);
    // Whether the word names a command that works on a camera.
    static bool IsCameraCommand(const std::string& word);
    static const char* Usage();

    Action action = Action::Run;
    std::string library;
    std::string directory;  // empty: the per-user directory
    bool verbose = false;
    std::string camera;
    std::vector<HostCommand> commands;
    std::string error;
};
