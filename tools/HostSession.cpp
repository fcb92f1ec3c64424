#include "HostSession.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <QApplication>

#include "CameraChooser.h"
#include "DisplayCheck.h"
#include "DriverLogFilter.h"
#include "GrabRun.h"
#include "HostDriver.h"
#include "ValueText.h"
#include "ViewWindow.h"

namespace {

constexpr int kPort = 0;

// Camera name -> class, from the driver's log lines at initialize.
std::mutex gClassesLock;
std::map<std::string, std::string> gClasses;

std::vector<std::string> CameraNames(HostDriver& driver) {
    std::vector<std::string> names;
    if (const char** list = driver.getCVLCameraConfigNames()) {
        for (int i = 0; list[i]; ++i) names.push_back(list[i]);
    }
    return names;
}

// An IPv4 address held as a number ("3232238091" -> "192.168.12.11").
std::string DottedAddress(const std::string& number) {
    int64_t value = 0;
    if (!ValueText::ParseInteger(number, value) || value <= 0 || value > 0xffffffffLL) return "-";
    return std::to_string(value >> 24 & 255) + "." + std::to_string(value >> 16 & 255) + "." +
           std::to_string(value >> 8 & 255) + "." + std::to_string(value & 255);
}

// Words of a line of the interactive session: blanks separate, double quotes group.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\r')) {
            if (any) words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any) words.push_back(word);
    return words;
}

// Whether the value read back is the one written: numbers within the text's precision (the
// driver writes reals with six significant digits), other values as text ignoring case.
bool SameValue(const PropertyCatalog::Property& property, const std::string& written,
               const std::string& read) {
    double a = 0.0, b = 0.0;
    if (property.type != "string" && property.type != "enum" && ValueText::ParseReal(written, a) &&
        ValueText::ParseReal(read, b)) {
        return std::fabs(a - b) <= 1e-5 * std::max(1.0, std::fabs(a));
    }
    bool x = false, y = false;
    if (property.type == "bool" && ValueText::ParseBool(written, x) &&
        ValueText::ParseBool(read, y)) {
        return x == y;
    }
    return ValueText::EqualNoCase(written, read);
}

}  // namespace

void HostSession::NoteLogLine(const std::string& line) {
    static const std::pair<const char*, const char*> kKinds[] = {{"gigE camera found: ", "GigE"},
                                                                 {"Usb camera found: ", "USB3"}};
    for (const auto& [mark, kind] : kKinds) {
        const size_t at = line.find(mark);
        if (at != std::string::npos) {
            std::string name = line.substr(at + std::strlen(mark));
            while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
            std::lock_guard<std::mutex> lock(gClassesLock);
            gClasses[name] = kind;
        }
    }
}

HostSession::~HostSession() {
    Close();
    for (ViewWindow* window : mWindows) delete window;
    delete mApplication;
}

int HostSession::List() {
    const std::vector<std::string> names = CameraNames(mDriver);
    std::printf("%d grabber(s), %d ports, %d camera(s)\n", mDriver.getCVLMaxNoOfGrabbers(),
                mDriver.getCVLMaxNoOfPorts(), static_cast<int>(names.size()));
    std::vector<std::vector<std::string>> rows = {{"CLASS", "MODEL", "SERIAL", "ADDRESS", "NAME"}};
    // Each camera on a port of its own: a port closed and opened again with another camera
    // still answers for the first one.
    const int ports = std::max(1, mDriver.getCVLMaxNoOfPorts());
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        const int port = static_cast<int>(i % static_cast<size_t>(ports));
        std::string kind = "?", address = "-";
        int size[2] = {0, 0};
        if (mDriver.openCVLPort(0, port, name.c_str(), size)) {
            PropertyCatalog catalog;
            std::string error;
            if (catalog.Load(mDriver, port, error)) {
                if (const auto* ip = catalog.Find("GevCurrentIPAddress")) {
                    kind = "GigE";
                    address = DottedAddress(ip->value);
                } else if (catalog.Find("DeviceLinkSpeed")) {
                    kind = "USB3";
                }
            }
            mDriver.closeCVLPort(0, port);
        } else {
            kind = "(busy)";
        }
        {
            std::lock_guard<std::mutex> lock(gClassesLock);
            const auto known = gClasses.find(name);
            if (known != gClasses.end()) kind = known->second;
        }
        rows.push_back({kind, CameraChooser::Model(name), CameraChooser::Serial(name), address,
                        "\"" + name + "\""});
    }
    std::vector<size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows) {
        for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    }
    if (names.empty()) return 0;
    for (const auto& row : rows) {
        std::string line = " ";
        for (size_t i = 0; i < row.size(); ++i) {
            line +=
                " " + row[i] +
                (i + 1 < row.size() ? std::string(widths[i] - row[i].size(), ' ') : std::string());
        }
        std::printf("%s\n", line.c_str());
    }
    return 0;
}

int HostSession::Run(const std::string& camera, const std::vector<HostCommand>& commands) {
    std::string error;
    if (!CameraChooser::Choose(CameraNames(mDriver), camera, mCamera, error)) {
        DriverLogFilter::Error(error);
        return 1;
    }
    for (const HostCommand& command : commands) {
        const int result = command.name == "shell" ? Shell() : Execute(command);
        if (result != 0) return result;
    }
    return 0;
}

bool HostSession::Open() {
    if (mOpen) return true;
    int size[2] = {0, 0};
    if (!mDriver.openCVLPort(0, kPort, mCamera.c_str(), size)) {
        DriverLogFilter::Error("cannot open camera \"" + mCamera + "\"");
        return false;
    }
    mOpen = true;
    mCatalogStale = true;
    return true;
}

void HostSession::Close() {
    if (mOpen) mDriver.closeCVLPort(0, kPort);
    mOpen = false;
}

const PropertyCatalog& HostSession::Catalog() {
    std::string error;
    if (mCatalogStale && !mCatalog.Load(mDriver, kPort, error)) {
        DriverLogFilter::Error(error);
    }
    mCatalogStale = false;
    return mCatalog;
}

const PropertyCatalog::Property* HostSession::Lookup(const std::string& name) {
    const PropertyCatalog::Property* property = Catalog().Find(name);
    if (!property) DriverLogFilter::Error(Catalog().Unknown(name));
    return property;
}

bool HostSession::ReadText(const std::string& name, std::string& text) {
    std::vector<char> result(1 << 16);
    if (!mDriver.execCmd(0, kPort, "get", name.c_str(), result.data(),
                         static_cast<unsigned>(result.size()))) {
        return false;
    }
    text = result.data();
    return true;
}

int HostSession::Execute(const HostCommand& command) {
    const std::string& name = command.name;
    if ((name == "view" || name == "configure")) {
        std::string why;
        if (!DisplayCheck::Available(false, why)) {
            DriverLogFilter::Error(name + ": " + why);
            return 1;
        }
    }
    if (!Open()) return 1;
    if (name == "features") return Features();
    if (name == "grab") {
        return GrabRun(mDriver, kPort, mCamera)
            .Run(command.frames, command.continuous, command.out);
    }
    if (name == "cmd") return Cmd(command);
    if (name == "configure") return Configure();
    if (name == "view") return View(command);
    for (const std::string& arg : command.args) {
        const int result = name == "get"        ? Get(arg)
                           : name == "set"      ? Set(arg)
                           : name == "range"    ? Range(arg)
                           : name == "describe" ? Describe(arg)
                                                : 2;
        if (result != 0) return result;
    }
    return 0;
}

int HostSession::Shell() {
    const bool prompt = isatty(STDIN_FILENO) == 1;
    int result = 0;
    std::string line;
    for (;;) {
        if (prompt) {
            std::printf("%s> ", mCamera.c_str());
            std::fflush(stdout);
        }
        if (!std::getline(std::cin, line)) break;
        const std::vector<std::string> words = Words(line);
        if (words.empty() || words[0][0] == '#') continue;
        if (words[0] == "quit" || words[0] == "exit") break;
        std::vector<HostCommand> commands;
        std::string error;
        if (words[0] == "shell" || !CommandLine::ParseCommands(words, commands, error)) {
            DriverLogFilter::Error(error.empty() ? "already in a session" : error);
            result = 2;
            continue;
        }
        for (const HostCommand& command : commands) {
            result = Execute(command);
            if (result != 0) break;
        }
        std::fflush(stdout);
    }
    return result;
}

int HostSession::Features() {
    const PropertyCatalog& catalog = Catalog();
    std::vector<size_t> widths(4, 0);
    for (const auto& p : catalog.All()) {
        widths[0] = std::max(widths[0], p.name.size());
        widths[1] = std::max(widths[1], p.type.size());
        widths[3] = std::max(widths[3], std::min<size_t>(p.value.size(), 40));
    }
    for (const auto& p : catalog.All()) {
        std::string value = p.value.size() > 40 ? p.value.substr(0, 37) + "..." : p.value;
        std::printf("%-*s  %-*s  %-2s  %-*s  %s\n", static_cast<int>(widths[0]), p.name.c_str(),
                    static_cast<int>(widths[1]), p.type.c_str(), p.access.c_str(),
                    static_cast<int>(widths[3]), value.c_str(), p.limits.c_str());
    }
    return catalog.All().empty() ? 1 : 0;
}

int HostSession::Describe(const std::string& name) {
    const PropertyCatalog::Property* p = Lookup(name);
    if (!p) return 1;
    const char* access = p->access == "rw"   ? "read/write"
                         : p->access == "ro" ? "read-only"
                                             : "write-only";
    std::printf("%s: %s, %s\n", p->name.c_str(), p->type.c_str(), access);
    if (p->access != "wo") std::printf("  value: %s\n", p->value.c_str());
    if (!p->entries.empty()) {
        std::printf("  entries:");
        for (const std::string& entry : p->entries) std::printf(" %s", entry.c_str());
        std::printf("\n");
    } else if (!p->limits.empty()) {
        std::printf("  range: %s\n", p->limits.c_str());
    }
    std::printf("  %s\n", p->description.empty() ? "(no description)" : p->description.c_str());
    return 0;
}

int HostSession::Get(const std::string& name) {
    const PropertyCatalog::Property* p = Lookup(name);
    if (!p) return 1;
    std::string text;
    if (p->access == "wo") {
        DriverLogFilter::Error(p->name + ": write-only, it has no value to read");
        return 1;
    }
    if (!ReadText(p->name, text)) {
        DriverLogFilter::Error("the driver did not read \"" + p->name + "\"");
        return 1;
    }
    std::printf("%s = %s\n", p->name.c_str(), text.c_str());
    return 0;
}

int HostSession::Range(const std::string& name) {
    const PropertyCatalog::Property* p = Lookup(name);
    if (!p) return 1;
    if (!p->entries.empty()) {
        std::printf("%s: one of", p->name.c_str());
        for (const std::string& entry : p->entries) std::printf(" %s", entry.c_str());
        std::printf("\n");
    } else if (!p->limits.empty()) {
        std::printf("%s in %s\n", p->name.c_str(), p->limits.c_str());
    } else {
        DriverLogFilter::Error(p->name + ": a " + p->type + " has no range");
        return 1;
    }
    return 0;
}

int HostSession::Set(const std::string& assignment) {
    const size_t equals = assignment.find('=');
    const std::string name = assignment.substr(0, equals);
    const std::string text = assignment.substr(equals + 1);
    const PropertyCatalog::Property* p = Lookup(name);
    if (!p) return 1;
    const PropertyCatalog::Property property = *p;  // the catalog is read again below
    std::string driverText, error;
    if (!PropertyCatalog::Check(property, text, driverText, error)) {
        DriverLogFilter::Error(error);
        return 1;
    }
    std::string before;
    const bool readable = property.access != "wo" && ReadText(property.name, before);
    const std::string argument = property.name + "=" + driverText;
    char result[256] = "";
    const int done = mDriver.execCmd(0, kPort, "set", argument.c_str(), result, sizeof result);
    mCatalogStale = true;
    std::string after;
    if (!done) {
        // A refused value: the driver keeps what the camera holds, which is said along.
        if (!readable || !ReadText(property.name, after)) {
            DriverLogFilter::Error(property.name + ": the driver refused " + text);
            return 1;
        }
    } else if (!readable) {
        std::printf("%s set\n", property.name.c_str());
        return 0;
    } else if (!ReadText(property.name, after)) {
        DriverLogFilter::Error(property.name + ": cannot read the value back");
        return 1;
    } else if (SameValue(property, driverText, after)) {
        std::printf("%s = %s\n", property.name.c_str(), after.c_str());
        return 0;
    }
    if (!done || SameValue(property, before, after)) {
        DriverLogFilter::Error(property.name + ": " +
                               (PropertyCatalog::OutOfRange(property, driverText)
                                    ? text + " is out of range " + property.limits
                                    : "the camera refused " + text) +
                               ", the value is still " + after);
        return 1;
    }
    std::printf("%s = %s (the camera adjusted %s)\n", property.name.c_str(), after.c_str(),
                text.c_str());
    return 0;
}

int HostSession::Cmd(const HostCommand& command) {
    const std::string& driverCommand = command.args[0];
    const std::string argument = command.args.size() > 1 ? command.args[1] : "";
    std::vector<char> result(1 << 16, '\0');
    const int done = mDriver.execCmd(0, kPort, driverCommand.c_str(), argument.c_str(),
                                     result.data(), static_cast<unsigned>(result.size()));
    mCatalogStale = true;
    if (!done) {
        DriverLogFilter::Error("driver command \"" + driverCommand +
                               (argument.empty() ? "" : " " + argument) + "\" failed");
        return 1;
    }
    const std::string text = result.data();
    std::printf("%s", text.empty() ? "ok\n" : text.c_str());
    if (!text.empty() && text.back() != '\n') std::printf("\n");
    return 0;
}

int HostSession::Configure() {
    const int confirmed = mDriver.configureCamera(nullptr, mCamera.c_str());
    mCatalogStale = true;
    std::printf("configuration %s\n", confirmed ? "confirmed (OK), saved" : "cancelled");
    return 0;
}

int HostSession::View(const HostCommand& command) {
    ViewWindow::Options options;
    options.continuous = !command.single;
    options.quitAfter = command.frames;
    options.quitAfterSeconds = command.seconds;
    options.screenshot = QString::fromStdString(command.out);
    if (!mApplication) {
        static int argc = 1;
        static char name[] = "ostravelk-host";
        static char* argv[] = {name, nullptr};
        mApplication = new QApplication(argc, argv);
    }
    auto* window = new ViewWindow(mDriver, mCamera, options);
    mWindows.push_back(window);
    // The window takes the open port over and closes it when it closes.
    mOpen = false;
    if (!window->Start(true)) return 1;
    window->show();
    QApplication::exec();
    std::printf("%s\n", window->Summary().c_str());
    return window->ExitCode();
}
