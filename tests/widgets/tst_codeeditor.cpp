#include <QTest>
#include <QTextBlock>

#include "codeeditor.h"

namespace {

QString numberedLines(int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i) {
        lines << QString::number(i);
    }
    return lines.join(u'\n');
}

}  // namespace

// Gutter geometry and painting, and the optional current-line highlight of the log view.
class TestCodeEditor : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CodeEditor> editor;

    int blanksAdvance() const {
        return editor->fontMetrics().horizontalAdvance(QStringLiteral("  "));
    }
    int viewportLeftMargin() const {
        return editor->viewport()->x() - editor->contentsRect().left();
    }
    void moveCursorToLine(int block) {
        QTextCursor cursor(editor->document()->findBlockByNumber(block));
        editor->setTextCursor(cursor);
    }

private slots:
    void init() {
        editor = std::make_unique<CodeEditor>(nullptr);
        editor->resize(300, 200);
    }
    void cleanup() { editor.reset(); }

    void hasOwnMetaObjects() {
        QCOMPARE(editor->metaObject()->className(), "CodeEditor");
        auto* gutter = editor->findChild<LineNumberArea*>();
        QVERIFY(gutter);
        QCOMPARE(gutter->metaObject()->className(), "LineNumberArea");
        QCOMPARE(gutter->parentWidget(), editor.get());
    }

    void gutterWidthGrowsWithDigits_data() {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("digits");
        QTest::newRow("empty document") << 0 << 1;
        QTest::newRow("one line") << 1 << 1;
        QTest::newRow("nine lines") << 9 << 1;
        QTest::newRow("ten lines") << 10 << 2;
        QTest::newRow("ninety-nine lines") << 99 << 2;
        QTest::newRow("hundred lines") << 100 << 3;
        QTest::newRow("thousand lines") << 1000 << 4;
    }
    void gutterWidthGrowsWithDigits() {
        QFETCH(int, lines);
        QFETCH(int, digits);
        editor->setPlainText(numberedLines(lines));
        const int expected = 10 + digits * blanksAdvance();
        QCOMPARE(editor->lineNumberWidth(), expected);
        QCOMPARE(viewportLeftMargin(), expected);
        QCOMPARE(editor->findChild<LineNumberArea*>()->sizeHint(), QSize(expected, 0));
    }

    void appendingAcrossDigitBoundaryWidensAtOnce() {
        editor->setPlainText(numberedLines(9));
        const int nine = editor->lineNumberWidth();
        editor->appendPlainText(QStringLiteral("10"));
        QCOMPARE(editor->lineNumberWidth(), nine + blanksAdvance());
        QCOMPARE(viewportLeftMargin(), nine + blanksAdvance());

        editor->setPlainText(numberedLines(99));
        const int ninetyNine = editor->lineNumberWidth();
        editor->appendPlainText(QStringLiteral("100"));
        QCOMPARE(editor->lineNumberWidth(), ninetyNine + blanksAdvance());
        QCOMPARE(viewportLeftMargin(), ninetyNine + blanksAdvance());
    }

    void gutterSitsLeftOfContentsAfterResize() {
        editor->setPlainText(numberedLines(150));
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        editor->resize(320, 240);
        const QRect gutter = editor->findChild<LineNumberArea*>()->geometry();
        const QRect cr = editor->contentsRect();
        QCOMPARE(gutter, QRect(cr.left(), cr.top(), editor->lineNumberWidth(), cr.height()));
    }

    // Numbers are black on light grey and start at the gutter's left edge.
    void numbersPaintedLeftAligned() {
        editor->setPlainText(numberedLines(150));  // three-digit gutter, first number "1"
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        auto* gutter = editor->findChild<LineNumberArea*>();
        const QImage image = gutter->grab().toImage();
        const int lineHeight = editor->fontMetrics().height();

        QCOMPARE(QColor(image.pixel(image.width() - 1, lineHeight / 2)), QColor(Qt::lightGray));
        int leftmostInk = image.width();
        for (int y = 0; y < lineHeight && y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qGray(image.pixel(x, y)) < 100) {
                    leftmostInk = qMin(leftmostInk, x);
                }
            }
        }
        QVERIFY2(
            leftmostInk < image.width() / 3,
            qPrintable(
                QStringLiteral("first ink at x=%1 of %2").arg(leftmostInk).arg(image.width())));
    }

    void highlightOffLeavesExtraSelectionsAlone() {
        editor->setPlainText(numberedLines(5));
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(editor->document()->findBlockByNumber(3));
        mark.format.setForeground(Qt::red);
        editor->setExtraSelections({mark});

        moveCursorToLine(1);
        moveCursorToLine(2);
        const auto selections = editor->extraSelections();
        QCOMPARE(selections.size(), 1);
        QCOMPARE(selections.first().format.foreground().color(), QColor(Qt::red));
        QCOMPARE(selections.first().cursor.blockNumber(), 3);
    }

    void highlightOnMarksCurrentLineFullWidth() {
        editor->setPlainText(numberedLines(5));
        editor->setLineHighlightEnabled(true);
        QVERIFY(editor->extraSelections().isEmpty());  // takes effect only at the next move

        QTextCursor cursor(editor->document()->findBlockByNumber(2));
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        editor->setTextCursor(cursor);

        const auto selections = editor->extraSelections();
        QCOMPARE(selections.size(), 1);
        const QTextEdit::ExtraSelection& line = selections.first();
        QVERIFY(line.format.property(QTextFormat::FullWidthSelection).toBool());
        QCOMPARE(line.format.background().color(), QColor(Qt::yellow).lighter(160));
        QCOMPARE(line.cursor.blockNumber(), 2);
        QVERIFY(!line.cursor.hasSelection());

        moveCursorToLine(4);
        QCOMPARE(editor->extraSelections().size(), 1);
        QCOMPARE(editor->extraSelections().first().cursor.blockNumber(), 4);
    }
};

QTEST_MAIN(TestCodeEditor)
#include "tst_codeeditor.moc"
