#pragma once

#include <string>
#include <vector>

#include "CommandLine.h"
#include "PropertyCatalog.h"

class QApplication;
class ViewWindow;
struct HostDriver;

// Runs the host's commands through the driver's exports: "list" on its own, and the commands
// of one camera one after another on the camera opened once (on port 0), so that a value set
// by one command is what the next one sees. Every failure is one line on standard error and a
// non-zero result; the first failure ends a command-line run, a session on standard input goes
// on with its next line.
//
// Threading: the host's main thread; the view and the grab have their own callbacks.
class HostSession {
  public:
    explicit HostSession(HostDriver& driver) : mDriver(driver) {}
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // The cameras with class, model, serial and (GigE) address; each is opened briefly. The
    // class comes from the driver's "... camera found: NAME" log line (NoteLogLine), else from
    // the features the camera has; the address from "GevCurrentIPAddress".
    int List();
    // A log line of the driver's debug callback (any thread).
    static void NoteLogLine(const std::string& line);
    // Chooses the camera from what the user typed, opens it and runs the commands.
    int Run(const std::string& camera, const std::vector<HostCommand>& commands);
    // Closes the camera if it is open (a view closes it itself).
    void Close();

  private:
    int Execute(const HostCommand& command);
    int Shell();
    bool Open();
    // The catalog of the open camera, read again after anything that may change it.
    const PropertyCatalog& Catalog();
    // The property of that name, or null with one line on standard error.
    const PropertyCatalog::Property* Lookup(const std::string& name);
    // The property's current value as the driver's "get" command gives it.
    bool ReadText(const std::string& name, std::string& text);

    int Features();
    int Describe(const std::string& name);
    int Get(const std::string& name);
    int Range(const std::string& name);
    int Set(const std::string& assignment);
    int Cmd(const HostCommand& command);
    int Configure();
    int View(const HostCommand& command);

    HostDriver& mDriver;
    std::string mCamera;  // the driver's name of the chosen camera
    bool mOpen = false;
    bool mCatalogStale = true;
    PropertyCatalog mCatalog;
    // The view's application and windows; deleted with the session, which main ends after
    // finalize (the driver's image threads may call a window until then).
    QApplication* mApplication = nullptr;
    std::vector<ViewWindow*> mWindows;
};
