// The colour mode and save options panels: their option groups, the hand-over to the live
// picture, message 1232 and the quality written to the settings file.

#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

#include "platform/window_messages.h"
#include "settings/ini_file.h"
#include "settings/stored_settings.h"
#include "ui/color_mode_panel.h"
#include "ui/main_window_services.h"
#include "ui/number_edit.h"
#include "ui/save_option_panel.h"
#include "view/picture_view.h"

namespace {

// Records the window messages addressed to the main window.
class MessageLog : public QObject {
public:
    std::vector<std::pair<int, WParam>> messages;

protected:
    bool event(QEvent* event) override {
        if (event->type() == WindowMessageEvent::EventType()) {
            auto* m = static_cast<WindowMessageEvent*>(event);
            messages.emplace_back(m->message, m->wParam);
            return true;
        }
        return QObject::event(event);
    }
};

// The main window as the panels see it: a live picture view, a work mode and a settings file.
class FakeMainWindow : public MainWindowServices {
public:
    explicit FakeMainWindow(const QString& iniPath) : ini(iniPath) { SetTheMainWindow(this); }
    ~FakeMainWindow() override { SetTheMainWindow(nullptr); }

    QObject* MessageTarget() override { return &log; }
    void ToggleFullScreen() override {}
    int WorkMode() const override { return workMode; }
    const CDibImage* SkinImage(int) const override { return nullptr; }
    int StoredVideoWidth() const override { return -1; }
    int StoredVideoHeight() const override { return -1; }
    CPicture* LivePicture() override { return &live; }
    bool WriteSetting(const QString& section, const QString& key, int value) override {
        writes.push_back(value);
        return WriteSettingInt(&ini, section, key, value);
    }

    MessageLog log;
    CPicture live;
    int workMode = 0;
    CIniFile ini;
    std::vector<int> writes;
};

void ClickItem(QWidget* panel, const COptionItem& item) {
    const QvRect& hit = item.HitRect();
    QTest::mouseClick(panel, Qt::LeftButton, {},
                      QPoint((hit.left + hit.right) / 2, (hit.top + hit.bottom) / 2));
}

// A 4 x 1 frame of greys 150, 200, 201, 250 (rows top first, padded to 4 bytes).
std::vector<uint8_t> GreyFrame() {
    std::vector<uint8_t> pixels(12);
    const uint8_t greys[4] = {150, 200, 201, 250};
    for (int x = 0; x < 4; ++x) {
        pixels[3 * x] = pixels[3 * x + 1] = pixels[3 * x + 2] = greys[x];
    }
    return pixels;
}

}  // namespace

class TestPanels : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::unique_ptr<FakeMainWindow> main_;

    template <typename Panel>
    std::unique_ptr<Panel> MakePanel(const QvRect& rect) {
        auto panel = std::make_unique<Panel>();
        panel->Create(nullptr, rect, QStringLiteral("panel"), 100);
        // Items know where they are once painted.
        for (int id = 1; id <= 3; ++id) {
            if (!QTest::qWaitFor([&] { return !panel->Item(id).HitRect().IsEmpty(); })) {
                return nullptr;
            }
        }
        return panel;
    }

    std::unique_ptr<CColorMode> ColourPanel() { return MakePanel<CColorMode>({0, 0, 200, 80}); }
    std::unique_ptr<CSaveOption> SavePanel() { return MakePanel<CSaveOption>({0, 0, 200, 100}); }

    void SetEditText(CNumberEdit* edit, const QString& keys) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, keys);
    }

private slots:
    void init() {
        main_ = std::make_unique<FakeMainWindow>(dir_.filePath(QStringLiteral("Quorvane.ini")));
        main_->live.SetColourMode(7);  // a value no panel hands over: "untouched"
        main_->live.SetThresholdLevel(3);
    }
    void cleanup() { main_.reset(); }

    void colourPanelStartsInColourAndTouchesNothing() {
        auto panel = ColourPanel();
        QVERIFY(panel);
        QCOMPARE(panel->Mode(), int(CColorMode::kColour));
        QVERIFY(panel->Item(1).IsChecked());
        QVERIFY(!panel->Item(2).IsChecked() && !panel->Item(3).IsChecked());
        QCOMPARE(panel->ThresholdEdit()->text(), QStringLiteral("128"));
        QCOMPARE(main_->live.GetColourMode(), 7);
    }

    void blackAndWhiteAppliesTheEditsThreshold() {
        auto panel = ColourPanel();
        QVERIFY(panel);
        SetEditText(panel->ThresholdEdit(), QStringLiteral("200"));
        QCOMPARE(main_->live.GetColourMode(), 7);  // typed in colour mode: nothing visible
        ClickItem(panel.get(), panel->Item(3));
        QCOMPARE(panel->Mode(), int(CColorMode::kBlackWhite));
        QCOMPARE(main_->live.GetColourMode(), 2);
        QCOMPARE(int(main_->live.GetThresholdLevel()), 200);
        QVERIFY(!panel->Item(1).IsChecked() && !panel->Item(2).IsChecked());

        // The live picture turns black wherever the grey is 200 or less.
        const auto frame = GreyFrame();
        main_->live.SetFrame((4u << 16) | 1u, frame.data());
        const CDibImage& work = main_->live.GetWorkImage();
        QVERIFY(work.IsValid());
        int black = 0;
        int white = 0;
        for (uint32_t x = 0; x < 4; ++x) {
            const QvColour c = work.GetPixelColour(x, 0) & 0xFFFFFF;
            black += c == QvRgb(0, 0, 0);
            white += c == QvRgb(255, 255, 255);
        }
        QCOMPARE(black, 2);  // 150 and 200, wherever the view's mirror puts them
        QCOMPARE(white, 2);

        // In black and white a typed threshold takes effect at once.
        SetEditText(panel->ThresholdEdit(), QStringLiteral("90"));
        QCOMPARE(int(main_->live.GetThresholdLevel()), 90);
    }

    void radioGroupKeepsOneCheckedAndACheckedClickSendsNothing() {
        auto panel = ColourPanel();
        QVERIFY(panel);
        ClickItem(panel.get(), panel->Item(2));
        QCOMPARE(main_->live.GetColourMode(), 1);
        QCOMPARE(int(main_->live.GetThresholdLevel()), 128);
        main_->live.SetColourMode(7);
        ClickItem(panel.get(), panel->Item(2));
        QCOMPARE(main_->live.GetColourMode(), 7);
        QCOMPARE(panel->Mode(), int(CColorMode::kGrey));
        ClickItem(panel.get(), panel->Item(1));
        QCOMPARE(main_->live.GetColourMode(), 0);
        int checked = 0;
        for (int id = 1; id <= 3; ++id)
            checked += panel->Item(id).IsChecked();
        QCOMPARE(checked, 1);
        QVERIFY(panel->Item(1).IsChecked());
    }

    void stillPictureModeLeavesTheLivePictureAlone() {
        auto panel = ColourPanel();
        QVERIFY(panel);
        main_->workMode = 1;
        ClickItem(panel.get(), panel->Item(3));
        QVERIFY(panel->Item(3).IsChecked());
        QCOMPARE(main_->live.GetColourMode(), 7);
        main_->workMode = 0;
        panel->ApplyToLivePicture();
        QCOMPARE(main_->live.GetColourMode(), 2);
        QCOMPARE(int(main_->live.GetThresholdLevel()), 128);
    }

    void turnBoxesExcludeEachOther() {
        auto panel = SavePanel();
        QVERIFY(panel);
        QVERIFY(!panel->IsTurnLeft() && !panel->IsTurnRight() && !panel->IsAutoCrop());
        ClickItem(panel.get(), panel->Item(CSaveOption::kTurnLeft));
        QVERIFY(panel->IsTurnLeft());
        ClickItem(panel.get(), panel->Item(CSaveOption::kTurnRight));
        QVERIFY(panel->IsTurnRight());
        QVERIFY(!panel->IsTurnLeft());
        ClickItem(panel.get(), panel->Item(CSaveOption::kTurnRight));
        QVERIFY(!panel->IsTurnLeft() && !panel->IsTurnRight());
        QVERIFY(main_->log.messages.empty());
    }

    void autoCropIsReportedToTheMainWindow() {
        auto panel = SavePanel();
        QVERIFY(panel);
        ClickItem(panel.get(), panel->Item(CSaveOption::kTurnLeft));
        ClickItem(panel.get(), panel->Item(CSaveOption::kAutoCrop));
        ClickItem(panel.get(), panel->Item(CSaveOption::kAutoCrop));
        QCOMPARE(main_->log.messages.size(), size_t(2));
        QCOMPARE(main_->log.messages[0], std::make_pair(int(qvmsg::kAutoCropChanged), WParam(1)));
        QCOMPARE(main_->log.messages[1], std::make_pair(int(qvmsg::kAutoCropChanged), WParam(0)));
        QVERIFY(panel->IsTurnLeft());
        QVERIFY(!panel->IsAutoCrop());
    }

    void qualityIsWrittenOnEveryChangeTheUserMakes() {
        auto panel = SavePanel();
        QVERIFY(panel);
        panel->SetQuality(77);
        QCOMPARE(panel->QualityEdit()->text(), QStringLiteral("77"));
        QVERIFY(main_->writes.empty());  // showing the stored value writes nothing back

        auto* edit = panel->QualityEdit();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, QStringLiteral("85"));
        QCOMPARE(main_->writes, (std::vector<int>{0, 8, 85}));
        QCOMPARE(panel->Quality(), 85);
        QCOMPARE(main_->ini.ReadInt(qvini::kPic, qvini::kQuantity, -1), 85);

        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, QStringLiteral("0"));
        QCOMPARE(panel->Quality(), 0);
        QCOMPARE(main_->ini.ReadInt(qvini::kPic, qvini::kQuantity, -1), 0);
        QTest::keyClicks(edit, QStringLiteral("00"));  // "000" would still be 0; 101 is refused
        QTest::keyClicks(edit, QStringLiteral("1"));
        QVERIFY(panel->Quality() <= 100);
    }
};

QTEST_MAIN(TestPanels)
#include "test_panels.moc"
