#include "CommandLine.h"

#include "ValueText.h"

namespace {

constexpr int kMaxFrames = 1000000;

const char* const kCameraCommands[] = {"get",  "set",       "range", "describe", "features",
                                       "grab", "configure", "view",  "cmd",      "shell"};

// The value of an option that needs one, checked as a count when asked.
bool OptionValue(const std::vector<std::string>& tokens, size_t& i, std::string& value,
                 std::string& error) {
    if (i + 1 >= tokens.size()) {
        error = tokens[i] + " needs a value";
        return false;
    }
    value = tokens[++i];
    return true;
}

bool Count(const std::string& option, const std::string& text, int& value, std::string& error) {
    if (!ValueText::ParseCount(text, 1, kMaxFrames, value)) {
        error = option + " \"" + text + "\": not a whole number from 1 to " +
                std::to_string(kMaxFrames);
        return false;
    }
    return true;
}

}  // namespace

bool CommandLine::IsCameraCommand(const std::string& word) {
    for (const char* command : kCameraCommands) {
        if (word == command) return true;
    }
    return false;
}

bool CommandLine::ParseCommands(const std::vector<std::string>& tokens,
                                std::vector<HostCommand>& commands, std::string& error) {
    for (size_t i = 0; i < tokens.size();) {
        HostCommand command;
        bool framesGiven = false;
        command.name = tokens[i++];
        if (!IsCameraCommand(command.name)) {
            error = "unknown command \"" + command.name + "\" (--help lists the commands)";
            return false;
        }
        const std::string& name = command.name;
        if (name == "cmd" && i < tokens.size()) {
            command.args.push_back(tokens[i++]);  // the driver's command, whatever its name
        }
        for (; i < tokens.size() && !IsCameraCommand(tokens[i]); ++i) {
            const std::string& token = tokens[i];
            std::string value;
            if (name == "grab" && token == "-n") {
                if (!OptionValue(tokens, i, value, error) ||
                    !Count("-n", value, command.frames, error)) {
                    return false;
                }
            } else if (name == "grab" && token == "--continuous") {
                command.continuous = true;
            } else if (name == "grab" && token == "--out") {
                if (!OptionValue(tokens, i, command.out, error)) return false;
            } else if (name == "view" && token == "--single") {
                command.single = true;
            } else if (name == "view" && token == "--frames") {
                framesGiven = true;
                if (!OptionValue(tokens, i, value, error) ||
                    !Count("--frames", value, command.frames, error)) {
                    return false;
                }
            } else if (name == "view" && token == "--seconds") {
                if (!OptionValue(tokens, i, value, error) ||
                    !Count("--seconds", value, command.seconds, error)) {
                    return false;
                }
            } else if (name == "view" && token == "--screenshot") {
                if (!OptionValue(tokens, i, command.out, error)) return false;
            } else if (name == "grab" || name == "view" || name == "features" ||
                       name == "configure" || name == "shell") {
                error = name + ": unexpected \"" + token + "\"";
                return false;
            } else {
                command.args.push_back(token);
            }
        }
        const size_t count = command.args.size();
        if ((name == "get" || name == "range" || name == "describe" || name == "set") &&
            count == 0) {
            error = name + " needs a property name (\"features\" lists them)";
            return false;
        }
        if (name == "set" && command.args[0].find('=') == std::string::npos) {
            if (count != 2) {
                error = "set needs NAME VALUE or NAME=VALUE...";
                return false;
            }
            command.args = {command.args[0] + "=" + command.args[1]};
        } else if (name == "set") {
            for (const std::string& pair : command.args) {
                if (pair.find('=') == std::string::npos || pair[0] == '=') {
                    error = "set: \"" + pair + "\" is not NAME=VALUE";
                    return false;
                }
            }
        }
        if (name == "cmd" && (count == 0 || count > 2)) {
            error = "cmd needs COMMAND [ARGUMENT]";
            return false;
        }
        if (name == "view" && !framesGiven) {
            if (!command.out.empty() && command.seconds == 0) {
                error = "view: --screenshot needs --frames N or --seconds S";
                return false;
            }
            command.frames = 0;  // until the user closes the window
        }
        if (name == "shell" && i < tokens.size()) {
            error = "shell must be the last command";
            return false;
        }
        commands.push_back(command);
    }
    return true;
}

bool CommandLine::Parse(int argc, char** argv) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--lib" || arg == "--dir") {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            (arg == "--lib" ? library : directory) = argv[++i];
            if (arg == "--dir" && directory.empty()) {
                error = "--dir needs a directory";
                return false;
            }
        } else if (arg == "--verbose" || arg == "-v") {
            verbose = true;
        } else if (arg == "--help" || arg == "-h") {
            action = Action::Help;
            return true;
        } else if (arg == "--version") {
            action = Action::Version;
            return true;
        } else {
            words.push_back(arg);
        }
    }
    if (words.empty()) {
        error = "no command given";
        return false;
    }
    if (words[0] == "help") {
        action = Action::Help;
        return true;
    }
    if (words[0] == "list") {
        action = Action::List;
        if (words.size() > 1) {
            error = "list: unexpected \"" + words[1] + "\"";
            return false;
        }
        return true;
    }
    std::vector<std::string> tokens;
    if (IsCameraCommand(words[0])) {
        if (words.size() < 2) {
            error = words[0] + " needs a camera (\"list\" shows them)";
            return false;
        }
        camera = words[1];
        tokens.push_back(words[0]);
        tokens.insert(tokens.end(), words.begin() + 2, words.end());
    } else {
        if (words.size() < 2) {
            error = "unknown command \"" + words[0] + "\" (--help lists the commands)";
            return false;
        }
        camera = words[0];
        tokens.assign(words.begin() + 1, words.end());
    }
    return ParseCommands(tokens, commands, error);
}

const char* CommandLine::Usage() {
    return "usage: ostravelk-host [OPTIONS] list\n"
           "       ostravelk-host [OPTIONS] COMMAND CAMERA [ARGS] [COMMAND [ARGS]]...\n"
           "       ostravelk-host [OPTIONS] CAMERA COMMAND [ARGS] [COMMAND [ARGS]]...\n"
           "\n"
           "Commands after the camera run one after another on the camera, opened once:\n"
           "  ostravelk-host SV1304 set Gain=100 grab -n 5 get Gain\n"
           "\n"
           "commands:\n"
           "  list                     the cameras the driver finds: class, model, serial,\n"
           "                           address\n"
           "  features                 every property name with type, access, value and\n"
           "                           range or entries\n"
           "  describe NAME...         a property's description\n"
           "  get NAME...              read properties\n"
           "  set NAME VALUE | set NAME=VALUE...\n"
           "                           write properties (enumerations by entry name); the value\n"
           "                           is checked first and read back after\n"
           "  range NAME...            a property's range or entries\n"
           "  cmd COMMAND [ARG]        run a driver command (\"get\", \"set\", \"list\")\n"
           "  grab [-n N] [--continuous] [--out DIR]\n"
           "                           grab N frames (default 10), save them as PNG into DIR\n"
           "                           (created when missing)\n"
           "  configure                open the configuration dialog (needs a display)\n"
           "  view [--single] [--frames N | --seconds S] [--screenshot FILE]\n"
           "                           live view in a window (needs a display); keys: G grab,\n"
           "                           C continuous, S settings, Q quit. --frames N closes it\n"
           "                           after N frames, --seconds S after S seconds, saving the\n"
           "                           window to FILE\n"
           "  shell                    read further commands from standard input, one line\n"
           "                           at a time, until \"quit\" or the end of input\n"
           "\n"
           "CAMERA is the name \"list\" shows, the serial, or any part of the name that\n"
           "matches only one camera (case does not matter).\n"
           "\n"
           "options:\n"
           "  --dir DIR       host directory for Ostravelk.ini and Ostravelk.log (must exist;\n"
           "                  default: $XDG_CONFIG_HOME/ostravelk, else ~/.config/ostravelk)\n"
           "  --lib PATH      the driver library (default: $OSTRAVELK_LIBRARY, else the\n"
           "                  installed one)\n"
           "  -v, --verbose   the driver's log on standard error (default: its errors only)\n"
           "  -h, --help      this text\n"
           "  --version       the host's version\n";
}
