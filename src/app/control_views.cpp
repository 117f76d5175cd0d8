#include "app/control_views.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace velmora {

QColor ToQColor(Colour c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

QString ToQString(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString CaptionText(const std::string& utf8) {
    QString s = ToQString(utf8);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

void SetBackColour(QWidget* w, const QColor& c, QPalette::ColorRole role) {
    QPalette pal = w->palette();
    pal.setColor(role, c);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

CaptionFrame::CaptionFrame(QWidget* parent, bool showBorder) : QFrame(parent), border_(showBorder) {
    setAutoFillBackground(true);
}

void CaptionFrame::setCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    update();
}

void CaptionFrame::setBack(const QColor& back) { SetBackColour(this, back, QPalette::Window); }

void CaptionFrame::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter p(this);
    const QFontMetrics fm(font());
    const int captionH = caption_.isEmpty() ? 0 : fm.height();
    if (border_) {
        p.setPen(palette().color(QPalette::Mid));
        const int top = captionH / 2;
        p.drawRect(QRect(0, top, width() - 1, height() - 1 - top));
    }
    if (!caption_.isEmpty()) {
        const int textW = fm.horizontalAdvance(caption_) + 4;
        p.fillRect(QRect(6, 0, textW, captionH), palette().color(QPalette::Window));
        p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                 QPalette::WindowText));
        p.drawText(QRect(8, 0, textW, captionH), Qt::AlignLeft | Qt::AlignVCenter, caption_);
    }
}

void ControlFlags::Apply(QWidget* w, const Control& c) {
    if (enabled != c.enabled) {
        w->setEnabled(c.enabled);
        enabled = c.enabled;
    }
    if (visible != c.visible) {
        w->setVisible(c.visible);
        visible = c.visible;
    }
}

void LabelView::Render(const Label& s) {
    flags.Apply(w, s);
    if (caption != s.caption) {
        w->setText(CaptionText(s.caption));
        caption = s.caption;
    }
    if (back != s.back) {
        SetBackColour(w, ToQColor(s.back), QPalette::Window);
        back = s.back;
    }
    if (fore != s.fore) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::WindowText, ToQColor(s.fore));
        w->setPalette(pal);
        fore = s.fore;
    }
}

void ButtonView::Render(const Button& s) {
    flags.Apply(w, s);
    if (caption != s.caption) {
        w->setText(CaptionText(s.caption));
        caption = s.caption;
    }
}

void ButtonView::Render(const ToggleButton& s) {
    Render(static_cast<const Button&>(s));
    if (pressed != s.pressed) {
        const bool blocked = w->blockSignals(true);
        w->setChecked(s.pressed);
        w->blockSignals(blocked);
        pressed = s.pressed;
    }
}

void TextView::Render(const TextBox& s) {
    flags.Apply(w, s);
    if (text != s.text) {
        const QString t = ToQString(s.text);
        if (w->text() != t) {
            const bool blocked = w->blockSignals(true);
            w->setText(t);
            w->blockSignals(blocked);
        }
        text = s.text;
    }
    if (back != s.back) {
        SetBackColour(w, ToQColor(s.back), QPalette::Base);
        back = s.back;
    }
}

void CheckView::Render(const CheckBox& s) {
    flags.Apply(w, s);
    if (checked != s.checked) {
        const bool blocked = w->blockSignals(true);
        w->setChecked(s.checked);
        w->blockSignals(blocked);
        checked = s.checked;
    }
}

void MeterView::Render(const Meter& s) {
    flags.Apply(w, s);
    if (value != s.value) {
        w->setValue(std::clamp(s.value, 0, 100));
        value = s.value;
    }
    if (fore != s.fore) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Highlight, ToQColor(s.fore));
        w->setPalette(pal);
        fore = s.fore;
    }
}

void ComboView::Render(const ComboBox& s) {
    flags.Apply(w, s);
    // The state is being shown, not edited: neither the box nor its line edit may report it.
    const bool blocked = w->blockSignals(true);
    QLineEdit* edit = w->lineEdit();
    const bool editBlocked = edit != nullptr && edit->blockSignals(true);
    if (items != s.items) {
        // The list shows the first column; the full tab-separated item is the tool tip.
        w->clear();
        for (const std::string& item : s.items) {
            const QString full = ToQString(item);
            const QString first = full.section(QLatin1Char('\t'), 0, 0);
            w->addItem(first);
            QString tip = full;
            tip.replace(QLatin1Char('\t'), QStringLiteral("  "));
            w->setItemData(w->count() - 1, tip, Qt::ToolTipRole);
        }
        items = s.items;
        index.reset();
        text.reset();
    }
    if (index != s.listIndex) {
        const int i = s.listIndex < w->count() ? s.listIndex : -1;
        if (w->currentIndex() != i) w->setCurrentIndex(i);
        index = s.listIndex;
        text.reset();
    }
    if (w->isEditable() && text != s.text) {
        const QString t = ToQString(s.text);
        if (w->currentText() != t) w->setEditText(t);
        text = s.text;
    }
    if (edit != nullptr) edit->blockSignals(editBlocked);
    w->blockSignals(blocked);
    if (back != s.back) {
        SetBackColour(w, ToQColor(s.back), QPalette::Base);
        SetBackColour(w, ToQColor(s.back), QPalette::Button);
        back = s.back;
    }
}

void FrameView::Render(const Frame& s) {
    flags.Apply(w, s);
    if (caption != s.caption) {
        w->setCaption(ToQString(s.caption));
        caption = s.caption;
    }
    if (back != s.back) {
        w->setBack(ToQColor(s.back));
        back = s.back;
    }
}

}  // namespace velmora
