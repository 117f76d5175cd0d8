// The real console for the end-to-end runs: in-process and offscreen, in a fresh program
// folder holding a first-run settings file with a one-second silence, driven through the
// widgets of its main window, which are found by their control names.
#pragma once

#include <QLineEdit>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>
#include <string>

#include "app/console_app.h"
#include "app/main_window.h"

namespace velmora::e2e {

// Writes Velmora.ini as a first run would, except for a silence of 1 s, so that laps take
// about two seconds. False if the file could not be written whole.
bool WriteOneSecondSettings(const QString& folder);

class ConsoleRig {
  public:
    // Writes the settings and starts the console without a splash delay; true once the main
    // window is shown. Message boxes are answered by the dialog hooks, never by a person.
    bool Start();
    // Shuts the console (its sockets and timers) before the folder goes.
    void Stop() { app_.reset(); }

    ConsoleApp& app() { return *app_; }
    // The console as the window shows it, once everything asked of it has been carried out.
    const Console& console() {
        app_->sync();
        return app_->view();
    }
    QWidget* window() { return app_ ? app_->mainWindow() : nullptr; }
    // A file in the console's program folder, which goes with the rig.
    QString FilePath(const QString& name) const { return folder_.filePath(name); }

    template <class W>
    W* Find(const std::string& name) {
        QWidget* w = window();
        return w ? w->findChild<W*>(QString::fromStdString(name)) : nullptr;
    }
    // A real click on an enabled button, carried out by the console; false if there is none by
    // that name or it is off.
    bool Click(const std::string& name);
    QString LabelText(const std::string& name);
    // Replaces the text of an enabled line edit by typing, as the crew would (ASCII only).
    bool TypeInto(const std::string& name, const char* text);

  private:
    QTemporaryDir folder_;
    std::unique_ptr<ConsoleApp> app_;
};

}  // namespace velmora::e2e
