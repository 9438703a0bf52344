#include "console_support.h"
#include "scopewindow.h"

using namespace consoletest;

// The scope window on a running simulated chain: triggers at the right sample, the fault marker
// beside the fault bit, and a saved recording that reopens without a bus.
class TestConsoleScope : public WindowFixture {
    Q_OBJECT

private:
    // Runs one single shot of `seconds` with `pre` of it before the trigger.
    static bool record(ScopeTool* tool, scope::TriggerSettings trigger, double seconds, double pre,
                       const std::function<void()>& provoke) {
        tool->setSettings({scope::TriggerMode::Single, trigger, 0.002, seconds, pre});
        if (!tool->start())
            return false;
        QTest::qWait(2 * ScopeTool::kPollMs + int(seconds * pre * 1000));  // the history fills
        provoke();
        return waitFor([tool] { return !tool->running(); }) && tool->recording() != nullptr;
    }

private slots:
    void initTestCase() { startOnChain(3); }
    void cleanup() { closeWindow(); }

    // The trigger box offers exactly its kind's fields; the plot has a legend. The cursor read-out:
    // bit words in hex, quantities (the mode among them) in decimal; words drawn as steps.
    void viewFollowsTheKindsOfTriggerAndSignal() {
        ScopeWindow scope(nullptr);
        const char* fields[] = {"comboBox_triggerChannel", "doubleSpinBox_level", "spinBox_bit",
                                "comboBox_eventKind"};
        const QString uses[] = {"CL--", "CL--", "C-B-", "C-B-", "----", "---E", "----"};
        for (int kind = 0; kind < 7; ++kind) {
            scope.findChild<QComboBox*>("comboBox_triggerKind")->setCurrentIndex(kind);
            QString used;
            for (int f = 0; f < 4; ++f)
                used += scope.findChild<QWidget*>(fields[f])->isEnabled() ? "CLBE"[f] : '-';
            QCOMPARE(used, uses[kind]);
        }
        // Channels of drives not on the bus (none is) keep their drive; each signal once. The
        // window's own edit leaves the rows in place.
        for (const int drive : {0, 1})
            scope.tool()->addChannel({drive, scope::Signal::Torque});
        QCoreApplication::processEvents();
        const auto* table = scope.findChild<QTableWidget*>("tableWidget_channels");
        const auto cell = [table](int row, int column) {
            return qobject_cast<QComboBox*>(table->cellWidget(row, column));
        };
        const QPointer<QWidget> drive1 = cell(1, 0);
        qobject_cast<QDoubleSpinBox*>(table->cellWidget(0, 2))->setValue(2.0);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(std::tuple(cell(0, 0)->currentText(), cell(1, 0)->currentText(),
                            cell(1, 1)->count(), drive1.data()),
                 std::tuple(u"Drive 0"_s, u"Drive 1"_s, int(scope::kSignalCount), cell(1, 0)));
        QCustomPlot* plot = scope.findChild<QCustomPlot*>();
        QVERIFY(plot->legend->visible());
        // Settings the tool takes from elsewhere show in the widgets (snapshot), the first event.
        scope.tool()->setSettings({scope::TriggerMode::Normal, {.events = 0b11}, 0.002, 0.5, 0.1});

        const auto words = [](float sw) {  // a status word counting up and the mode, ten cycles
            scope::Recording r({{.drive = 1, .signal = scope::Signal::StatusWord, .label = "sw"},
                                {.drive = 1, .signal = scope::Signal::Mode, .label = "mode"}},
                               0.002);
            const float mode = 1234.5677f + sw / 0x10000;  // less than 1 apart in two files
            for (uint64_t c = 0; c < 10; ++c)
                r.append(c, int64_t(c) * 2'000'000, std::array{sw + float(c), mode}.data());
            return r;
        };
        QTemporaryDir dir;
        QString path = dir.filePath(u"words.zscope"_s), over = dir.filePath(u"o.zscope"_s), error;
        QVERIFY(words(0x0237).save(path.toStdString()) && scope.tool()->open(path, &error));
        const QLabel* label = scope.findChild<QLabel*>("label_readout");
        const QString first = label->text();  // the cursors a quarter in from each end
        QVERIFY2(first.startsWith(u"A: -0.0135 s   B: -0.0045 s   Δt: 0.0090 s"_s) &&
                     plot->itemCount() == 2,
                 qPrintable(first));
        // Ctrl+click moves cursor A, Ctrl+right-click or Shift+click B; a grabbed cursor follows.
        scope.resize(900, 600);
        scope.show();
        plot->replot();
        const auto at = [plot](double t) {
            return QPoint(int(plot->xAxis->coordToPixel(t)), plot->height() / 2);
        };
        const auto cursorsAt = [&](double a, double b) {
            const auto snap = [&](double t) { return plot->xAxis->pixelToCoord(at(t).x()); };
            return label->text().startsWith(
                u"A: %1 s   B: %2 s"_s.arg(snap(a), 0, 'f', 4).arg(snap(b), 0, 'f', 4));
        };
        QTest::mouseClick(plot, Qt::LeftButton, Qt::ControlModifier, at(0.004));
        QTest::mouseClick(plot, Qt::RightButton, Qt::ControlModifier, at(0.009));
        QVERIFY2(cursorsAt(0.004, 0.009), qPrintable(label->text()));
        QTest::mouseClick(plot, Qt::LeftButton, Qt::ShiftModifier, at(0.008));
        for (const auto& [from, to] : {std::pair(0.008, 0.006), {0.004, 0.002}}) {
            QTest::mousePress(plot, Qt::LeftButton, {}, at(from));
            QTest::mouseMove(plot, at(to));
            QTest::mouseRelease(plot, Qt::LeftButton, {}, at(to));
        }
        QVERIFY2(cursorsAt(0.002, 0.006), qPrintable(label->text()));
        const QString held = label->text();  // let go: a drag elsewhere moves no cursor
        QTest::mousePress(plot, Qt::LeftButton, {}, at(0.007));
        QTest::mouseMove(plot, at(0.005));
        QTest::mouseRelease(plot, Qt::LeftButton, {}, at(0.005));
        QCOMPARE(label->text(), held);
        // An axis each, words drawn as steps; an overlay shares its channel's axis, which then
        // spans both.
        scope.findChild<QCheckBox*>("checkBox_separateAxes")->setChecked(true);
        QVERIFY(words(0x4000).save(over.toStdString()) && scope.tool()->openOverlay(over, &error));
        scope.setCursors(-0.0151, -0.010);  // the samples nearest: 1 and 4 (of 0..9)
        compareSnapshot(u"scope_overlay"_s, &scope);
        // A recording of a single sample has its read-out too.
        scope::Recording one({{.drive = 1, .signal = scope::Signal::StatusWord, .label = "one"}},
                             0.002);
        one.append(0, 0, std::array{float(0x0250)}.data());
        one.setTriggerIndex(0);  // its zero line drawn at the trigger
        QVERIFY(one.save(path.toStdString()) && scope.tool()->open(path, &error));
        compareSnapshot(u"scope_single"_s, &scope);

        // The file buttons, each through its dialog; an overlay dialog left without a file takes
        // the overlay away.
        ModalAnswerer answer;
        QStringList statuses;
        const QString files[] = {dir.filePath(u"a.zscope"_s), dir.filePath(u"a.csv"_s),
                                 dir.filePath(u"a.png"_s), dir.filePath(u"a.csv"_s), QString()};
        const char* buttons[] = {"pushButton_save", "pushButton_exportCsv", "pushButton_exportPng",
                                 "pushButton_open", "pushButton_overlay"};
        for (int i = 0; i < 5; ++i) {
            answer.thenFile(files[i]);
            scope.findChild<QPushButton*>(buttons[i])->click();
            statuses << scope.findChild<QLabel*>("label_status")->text();
        }
        QCOMPARE(statuses.mid(0, 3) << answer.fileKinds,
                 QStringList({u"Saved %1."_s.arg(files[0]), u"Saved %1."_s.arg(files[1]),
                              u"Saved %1."_s.arg(files[2]), u"SSSOO"_s}));
        QVERIFY2(statuses[3].startsWith(u"Not opened: "_s) && statuses[4] == statuses[3] &&
                     !scope.tool()->overlay() && QFileInfo(files[2]).size() > 0,
                 qPrintable(statuses.join(u'|')));
    }

    // What the tool refuses, each with the reason the operator reads; no channel past the last.
    void toolRefusesWhatItCannotDo() {
        ScopeTool tool(nullptr);
        QString why[5];
        QVERIFY(!tool.start(&why[0]) && !tool.save(u"s"_s, &why[1]) &&
                !tool.exportCsv(u"c"_s, &why[2]) && !tool.open(u"none.zscope"_s, &why[3]) &&
                !tool.openOverlay(u"none.zscope"_s, &why[4]));
        QCOMPARE(QStringList(why, why + 3),
                 QStringList({"No bus is connected.", "There is no recording to save.",
                              "There is no recording to export."}));
        QVERIFY(!why[3].isEmpty() && why[4] == why[3] && !tool.recording() && !tool.overlay());
        QVERIFY(ScopeTool::signalTitle(scope::Signal(scope::kSignalCount)).isEmpty() &&
                ScopeTool::eventTitle(scope::EventKind(scope::kEventKindCount)).isEmpty());
        for (int c = 0; c < scope::kMaxChannels; ++c)
            QVERIFY(tool.addChannel({c, scope::Signal::Torque}));
        QVERIFY(!tool.addChannel({0, scope::Signal::Velocity}));
        for (const int outside : {-1, scope::kMaxChannels})
            tool.setChannel(outside, {}), tool.removeChannel(outside);
        tool.setChannel(scope::kMaxChannels - 1, {9, scope::Signal::Velocity});
        tool.removeChannel(0);
        QCOMPARE(std::tuple(tool.channels().size(), tool.channels().front().drive,
                            tool.channels().back().drive, tool.channels().back().signal),
                 std::tuple(size_t(scope::kMaxChannels - 1), 1, 9, scope::Signal::Velocity));
    }

    // A velocity step crosses the level at the trigger sample, 25 % into the record; the file of
    // the recording reopens without a bus, sample for sample and event for event.
    void velocityStepAndFaultTriggerTheirRecords() {
        QVERIFY(openConnected());
        action("actionScope")->trigger();
        auto* scope = window->findChild<ScopeWindow*>();
        ScopeTool* tool = scope != nullptr && scope->isVisible() ? scope->tool() : nullptr;
        QString why;
        QVERIFY(tool != nullptr && !tool->start(&why) && why == "Add a channel first.");
        QCOMPARE(tool->driveNames(),
                 QStringList({"Drive 0 (slave 1)", "Drive 1 (slave 2)", "Drive 2 (slave 3)"}));
        tool->addChannel({0, scope::Signal::Velocity});
        tool->addChannel({0, scope::Signal::TargetVelocity});
        QVERIFY(clickAndWait("pushButton_enable", "Disable"));
        setValue("doubleSpinBox_velocity", 1.0);
        QVERIFY(record(tool, {scope::TriggerKind::Rising, 1, 0.5}, 0.2, 0.25,
                       [this] { click("pushButton_velocity"); }));
        const scope::Recording& r = *tool->recording();
        QVERIFY(r.size() == 100 && r.triggerIndex() == std::optional<size_t>(25) &&
                r.value(1, 24) < 0.5f && r.value(1, 25) == 1.0f && r.value(0, 0) == 0.0f);
        QVERIFY(r.gapCount() <= master()->busFigures().skippedCycles);  // a loaded host skips
        QCOMPARE(r.identities.at(2).at("product_type"), window->productTypeOf(2).toStdString());
        QCOMPARE(r.identities.size(), size_t(3));  // one per drive on the bus, no more

        QTemporaryDir dir;
        QString path = dir.filePath(u"step.zscope"_s), error;
        QVERIFY2(tool->save(path, &error), qPrintable(error));
        ScopeTool offline(nullptr);
        QVERIFY2(offline.open(path, &error), qPrintable(error));
        QVERIFY(*offline.recording() == r);
        auto* status = scope->findChild<QLabel*>("label_status");
        QVERIFY(tool->start() && status->text() == u"Recording; waiting for the trigger."_s);
        tool->stop();  // stopped before a trigger: the last recording's line goes
        QCOMPARE(status->text(), u"Stopped."_s);
        tool->removeChannel(1);  // the trigger moves to the channel left
        QTRY_COMPARE(window->findChild<QComboBox*>("comboBox_triggerChannel")->currentIndex(), 0);

        // Drive 3's fault fires the fault trigger: state marker and first fault bit in one cycle.
        tool->addChannel({2, scope::Signal::StatusWord});  // channel 1, beside drive 0's velocity
        QVERIFY(record(tool, {scope::TriggerKind::FaultEntry, -1}, 0.2, 0.5,
                       [this] { QVERIFY(chain->injectFault(3, 1u << 0)); }));
        const scope::Recording& f = *tool->recording();
        const size_t trigger = f.triggerIndex().value();
        QVERIFY((int(f.value(1, trigger)) & 0x08) && !(int(f.value(1, trigger - 1)) & 0x08));
        const auto marker = std::find_if(f.events.begin(), f.events.end(), [](const auto& e) {
            return e.kind == scope::EventKind::StateChange && e.drive == 2;
        });
        QVERIFY(marker != f.events.end());
        QVERIFY2(marker->text.starts_with("Fault"), marker->text.c_str());
        QCOMPARE(marker->cycle, f.cycle(trigger));
        // Markers, the trigger's time and the cursors: vertical lines, each through two points.
        QCustomPlot* plot = scope->findChild<QCustomPlot*>();
        for (int i = 0; i < plot->itemCount(); ++i)
            if (auto* l = qobject_cast<QCPItemStraightLine*>(plot->item(i)))
                QVERIFY(l->point1->coords().x() == l->point2->coords().x() &&
                        l->point1->coords().y() != l->point2->coords().y());
        // The Trigger button: the record around the click, its marker in it once.
        QVERIFY(
            record(tool, {}, 0.1, 0.5,
                   [scope] { scope->findChild<QPushButton*>("pushButton_trigger")->click(); }) &&
            tool->recording()->triggerIndex() == 25u);
        const auto& m = tool->recording()->events;
        QVERIFY(std::ranges::count(m, scope::EventKind::Manual, &scope::RecordedEvent::kind) == 1);
        action("actionResetAllFaults")->trigger();
        QVERIFY(waitFor([this] { return stateAtDrive(3) != sim::Cia402State::Fault; }));
        // A rolling view runs from the Run button and refreshes; the window closes over it.
        tool->setSettings({scope::TriggerMode::Continuous, {}, 0.002, 0.1, 0});
        QSignalSpy live(tool, &ScopeTool::liveSnapshot);
        scope->findChild<QPushButton*>("pushButton_run")->click();
        QVERIFY(live.wait(5000) && tool->running());
    }
};

QTEST_MAIN(TestConsoleScope)
#include "tst_console_scope.moc"
