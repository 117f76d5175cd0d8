#include "app/console_block.h"

#include "analysis/lap_export.h"
#include "app/builder.h"
#include "app/layout.h"
#include "app/rules_dialog.h"
#include "core/window_state.h"
#include "master/editors.h"
#include "master/master_files.h"
#include "measure/measurement.h"
#include "measure/stopwatch.h"
#include "pit/messages.h"
#include "pit/settings_dialog.h"
#include "results/results_file.h"

namespace velmora {

namespace {

TwipRect At(std::string_view name) { return RectOf(layout::kConsoleControls, name); }

void SetPointSize(QWidget* w, int pt, bool bold = false) {
    QFont f = w->font();
    f.setPointSize(pt);
    f.setBold(bold);
    w->setFont(f);
}

}  // namespace

ConsoleBlock::ConsoleBlock(QWidget* parent, EventSink sink, InputConventions& conventions,
                           std::function<void()> onEnd, std::function<void()> onLapChart,
                           std::function<void()> onTeamView)
    : CaptionFrame(parent, false),
      sink_(std::move(sink)),
      onEnd_(std::move(onEnd)),
      onLapChart_(std::move(onLapChart)),
      onTeamView_(std::move(onTeamView)) {
    setObjectName("Frm_Main");
    PlaceAt(this, layout::kMainFrame);
    frame_.w = this;
    Build(conventions);
}

QLineEdit* ConsoleBlock::MakeText(QWidget* parent, TextView& view, const char* name,
                                  TextBox MainFrameState::*field) {
    auto* w = Make<QLineEdit>(parent, name, At(name));
    view.w = w;
    // Every change of the text counts, however it came: typing, paste, an input method or
    // an assistive tool setting it. The render's own updates are blocked in TextView.
    connect(w, &QLineEdit::textChanged, this, [this, field](const QString& t) {
        sink_([field, text = t.toStdString()](Console& c) { (c.st.main.*field).text = text; });
    });
    return w;
}

QPushButton* ConsoleBlock::MakeButton(ButtonView& view, const char* name) {
    auto* w = Make<QPushButton>(this, name, At(name));
    view.w = w;
    return w;
}

LabelView ConsoleBlock::MakeLabel(QWidget* parent, const char* name) {
    LabelView v;
    v.w = Make<QLabel>(parent, name, At(name));
    v.w->setAlignment(Qt::AlignCenter);
    return v;
}

void ConsoleBlock::Build(InputConventions& conv) {
    std::map<std::string_view, CaptionFrame*> frames;
    for (const layout::Place& p : layout::kConsoleFrames) {
        auto* f = Make<CaptionFrame>(this, NameText(p.name), p.rect);
        frames[p.name] = f;
    }
    frames["Frm_Ranking"]->setCaption("走行車輌状況");
    frames["Frm_HostIP"]->setCaption(" Host IP 情報");
    for (const layout::StaticText& t : layout::kConsoleTexts)
        MakeStaticText(t.frame.empty() ? this : frames[t.frame], t.text, t.rect);
    QWidget* comment = frames["Frm_Comment"];
    QWidget* rankFrame = frames["Frm_Ranking"];
    QWidget* hostFrame = frames["Frm_HostIP"];
    using F = InputConventions::Field;

    // Created in tab order.
    auto* course = Make<QComboBox>(this, "Cmb_Course", At("Cmb_Course"));
    course_.w = course;
    connect(course, &QComboBox::activated, this, [this](int index) {
        sink_([index](Console& c) { c.st.main.Cmb_Course.Select(index); });
    });
    conv.Attach(course, F{false, true, {}, [this] { sink_(TakeSelectedCourse); }});

    conv.Attach(MakeText(comment, event_, "Txt_Event", &MainFrameState::Txt_Event),
                F{true, true, {}, {}});
    conv.Attach(MakeText(comment, date_, "Txt_Date", &MainFrameState::Txt_Date),
                F{true, true, {}, {}});
    auto* tenki = Make<QComboBox>(comment, "Cmb_Tenki", At("Cmb_Tenki"));
    tenki->setEditable(true);
    tenki->setInsertPolicy(QComboBox::NoInsert);
    tenki_.w = tenki;
    connect(tenki, &QComboBox::activated, this, [this](int index) {
        sink_([index](Console& c) { c.st.main.Cmb_Tenki.Select(index); });
    });
    connect(tenki->lineEdit(), &QLineEdit::textChanged, this, [this](const QString& t) {
        sink_([text = t.toStdString()](Console& c) {
            // Choosing from the list changes the text too; that choice keeps its index.
            if (c.st.main.Cmb_Tenki.text == text) return;
            c.st.main.Cmb_Tenki.text = text;
            c.st.main.Cmb_Tenki.listIndex = -1;
        });
    });
    conv.Attach(tenki, F{false, true, {}, {}});
    conv.Attach(MakeText(comment, kion_, "Txt_Kion", &MainFrameState::Txt_Kion),
                F{true, true, {}, {}});

    for (int k = 0; k < 5; ++k) {
        const TwipRect rect{layout::kRankColLeft[k], layout::kRankHeaderTop,
                            layout::kRankColWidth[k], layout::kRankRowHeight};
        MakeStaticText(rankFrame, layout::kRankHeaders[k], rect,
                       k == 1 ? (Qt::AlignLeft | Qt::AlignVCenter) : Qt::AlignCenter);
    }
    for (int r = 0; r < 3; ++r) {
        LabelView* cols[5] = {&ranking_[r].jyuni, &ranking_[r].sortNo, &ranking_[r].sortLap,
                              &ranking_[r].bestLap, &ranking_[r].bestTime};
        const char* names[5] = {"Lbl_Jyuni", "Lbl_Sort_No", "Lbl_Sort_LAP", "Lbl_BestLAP",
                                "Lbl_BestTime"};
        for (int k = 0; k < 5; ++k) {
            const TwipRect rect{layout::kRankColLeft[k],
                                layout::kRankRowTop + r * layout::kRankRowStep,
                                layout::kRankColWidth[k], layout::kRankRowHeight};
            cols[k]->w = Make<QLabel>(rankFrame, NameText(SlotControlName(names[k], r)), rect);
            cols[k]->w->setAlignment(k == 1 ? (Qt::AlignLeft | Qt::AlignVCenter) : Qt::AlignCenter);
        }
    }

    connect(MakeButton(cource_, "Btn_Cource"), &QPushButton::clicked, this,
            [this] { sink_([](Console& c) { OpenEditor(c, Editor::Course); }); });
    connect(MakeButton(drivers_, "Btn_Drivers"), &QPushButton::clicked, this,
            [this] { sink_([](Console& c) { OpenEditor(c, Editor::Drivers); }); });
    connect(MakeButton(car_, "Btn_Car"), &QPushButton::clicked, this,
            [this] { sink_([](Console& c) { OpenEditor(c, Editor::Car); }); });
    connect(MakeButton(mess_, "Btn_Mess"), &QPushButton::clicked, this,
            [this] { sink_(OpenEnvironmentSettings); });
    connect(MakeButton(lapChart_, "Btn_LapChart"), &QPushButton::clicked, this, [this] {
        if (onLapChart_) onLapChart_();
    });
    auto* teamView = Make<QPushButton>(this, "Btn_TeamView", At("Btn_TeamView"));
    teamView->setText(QStringLiteral("チームビュー"));
    connect(teamView, &QPushButton::clicked, this, [this] {
        if (onTeamView_) onTeamView_();
    });
    connect(MakeButton(export_, "Btn_Export"), &QPushButton::clicked, this,
            [this] { sink_.Local(ExportLaps); });

    otherLapTime_ = MakeLabel(this, "Lbl_OtherLap");
    SetPointSize(otherLapTime_.w, 11, true);
    connect(MakeButton(otherLap_, "Btn_OtherLap"), &QPushButton::clicked, this,
            [this] { sink_(OtherLapClick); });

    conv.Attach(MakeText(this, runH_, "Txt_RunH", &MainFrameState::Txt_RunH),
                F{true, true, [this] { sink_([](Console& c) { RunLengthGotFocus(c, true); }); },
                  [this] { sink_([](Console& c) { RunLengthLostFocus(c, true); }); }});
    conv.Attach(MakeText(this, runN_, "Txt_RunN", &MainFrameState::Txt_RunN),
                F{true, true, [this] { sink_([](Console& c) { RunLengthGotFocus(c, false); }); },
                  [this] { sink_([](Console& c) { RunLengthLostFocus(c, false); }); }});
    runH_.w->setAlignment(Qt::AlignRight);
    runN_.w->setAlignment(Qt::AlignRight);
    stTime_ = MakeLabel(this, "Lbl_StTime");
    sysTime_ = MakeLabel(this, "Lbl_SysTime");
    zanTime_ = MakeLabel(this, "Lbl_ZanTime");
    SetPointSize(zanTime_.w, 14, true);
    localIP_ = MakeLabel(hostFrame, "Lbl_LocalIP");
    localIP_.w->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    auto* all = MakeText(this, allOutMess_, "Txt_AllOutMess", &MainFrameState::Txt_AllOutMess);
    connect(all, &QLineEdit::textChanged, this, [this] { sink_(UpdateAllCarsMessage); });
    conv.Attach(all, F{true, true, {}, {}});

    // The rules' dialog opens over the window, on the window's copy of the console.
    connect(MakeButton(rules_, "Btn_Rules"), &QPushButton::clicked, this, [this] {
        sink_.Local([this](Console& view) { RulesDialog::Open(window(), view, sink_); });
    });

    auto* start = MakeButton(start_, "Btn_Start");
    SetPointSize(start, 16, true);
    connect(start, &QPushButton::clicked, this, [this] { sink_(Btn_Start_Click); });
    connect(MakeButton(write_, "Btn_Write"), &QPushButton::clicked, this,
            [this] { sink_.Local(WriteResults); });
    connect(MakeButton(end_, "Btn_End"), &QPushButton::clicked, this, [this] {
        if (onEnd_) onEnd_();
    });
}

void ConsoleBlock::Render(const MainFrameState& m) {
    frame_.Render(m.Frm_Main);
    course_.Render(m.Cmb_Course);
    event_.Render(m.Txt_Event);
    date_.Render(m.Txt_Date);
    tenki_.Render(m.Cmb_Tenki);
    kion_.Render(m.Txt_Kion);
    for (int r = 0; r < 3; ++r) {
        const RankingRow& s = m.ranking[r];
        ranking_[r].jyuni.Render(s.Lbl_Jyuni);
        ranking_[r].sortNo.Render(s.Lbl_Sort_No);
        ranking_[r].sortLap.Render(s.Lbl_Sort_LAP);
        ranking_[r].bestLap.Render(s.Lbl_BestLAP);
        ranking_[r].bestTime.Render(s.Lbl_BestTime);
    }
    cource_.Render(m.Btn_Cource);
    drivers_.Render(m.Btn_Drivers);
    car_.Render(m.Btn_Car);
    mess_.Render(m.Btn_Mess);
    lapChart_.Render(m.Btn_LapChart);
    export_.Render(m.Btn_Export);
    otherLapTime_.Render(m.Lbl_OtherLap);
    otherLap_.Render(m.Btn_OtherLap);
    runH_.Render(m.Txt_RunH);
    runN_.Render(m.Txt_RunN);
    stTime_.Render(m.Lbl_StTime);
    zanTime_.Render(m.Lbl_ZanTime);
    sysTime_.Render(m.Lbl_SysTime);
    localIP_.Render(m.Lbl_LocalIP);
    allOutMess_.Render(m.Txt_AllOutMess);
    start_.Render(m.Btn_Start);
    write_.Render(m.Btn_Write);
    end_.Render(m.Btn_End);
    rules_.Render(m.Btn_Rules);
}

}  // namespace velmora
