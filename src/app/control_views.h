#pragma once
// Qt widgets bound to the plain-data controls of the console state. Each view remembers what
// it last put on its widget and touches the widget only when the state differs, so a render
// after every datagram costs a handful of string compares.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <optional>
#include <string>
#include <vector>

#include "core/controls.h"

namespace velmora {

QColor ToQColor(Colour c);
QString ToQString(const std::string& utf8);
// Button captions keep a bare carriage return as their line break.
QString CaptionText(const std::string& utf8);

// A framed panel with a caption in its top-left corner and a solid back colour.
class CaptionFrame : public QFrame {
  public:
    explicit CaptionFrame(QWidget* parent, bool showBorder = true);
    void setCaption(const QString& caption);
    const QString& caption() const { return caption_; }
    void setBack(const QColor& back);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString caption_;
    bool border_;
};

// Enabled and visible flags, shared by every view.
struct ControlFlags {
    std::optional<bool> enabled, visible;
    void Apply(QWidget* w, const Control& c);
};

struct LabelView {
    QLabel* w = nullptr;
    ControlFlags flags;
    std::optional<std::string> caption;
    std::optional<Colour> back, fore;
    void Render(const Label& s);
};

struct ButtonView {
    QPushButton* w = nullptr;
    ControlFlags flags;
    std::optional<std::string> caption;
    std::optional<bool> pressed;
    void Render(const Button& s);
    void Render(const ToggleButton& s);
};

struct TextView {
    QLineEdit* w = nullptr;
    ControlFlags flags;
    std::optional<std::string> text;
    std::optional<Colour> back;
    void Render(const TextBox& s);
};

struct CheckView {
    QCheckBox* w = nullptr;
    ControlFlags flags;
    std::optional<bool> checked;
    void Render(const CheckBox& s);
};

struct MeterView {
    QProgressBar* w = nullptr;
    ControlFlags flags;
    std::optional<int> value;
    std::optional<Colour> fore;
    void Render(const Meter& s);
};

struct ComboView {
    QComboBox* w = nullptr;
    ControlFlags flags;
    std::optional<std::vector<std::string>> items;
    std::optional<int> index;
    std::optional<std::string> text;
    std::optional<Colour> back;
    void Render(const ComboBox& s);
};

struct FrameView {
    CaptionFrame* w = nullptr;
    ControlFlags flags;
    std::optional<std::string> caption;
    std::optional<Colour> back;
    void Render(const Frame& s);
};

// Background colour of a widget through its palette.
void SetBackColour(QWidget* w, const QColor& c, QPalette::ColorRole role);

}  // namespace velmora
