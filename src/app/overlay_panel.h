#pragma once
// The frames that lie over the main window while open: the three master editors and the
// environment settings dialog. Each holds one grid and an OK and a Cancel button, and is
// centred on the window when it appears.
#include "app/control_views.h"
#include "app/event_sink.h"
#include "app/grid_view.h"
#include "app/layout.h"
#include "master/editors.h"

namespace velmora {

class OverlayPanel : public CaptionFrame {
  public:
    // A master data editor.
    OverlayPanel(QWidget* parent, Editor editor, const OverlayState& state, EventSink sink);
    // The environment settings dialog (Frm_Mess).
    OverlayPanel(QWidget* parent, const OverlayState& state, EventSink sink);

    void Render(const OverlayState& s);
    GridView* grid() const { return grid_; }
    // Centres the frame on its parent ((container − own) / 2), also after a rescale.
    void Centre();

  private:
    void BuildCommon(const layout::OverlayLayout& l, const OverlayState& state);

    EventSink sink_;
    FrameView frame_;
    GridView* grid_ = nullptr;
    ButtonView ok_, cancel_;
    bool wasVisible_ = false;
};

}  // namespace velmora
