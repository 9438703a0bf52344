#pragma once

#include <QPlainTextEdit>
#include <QWidget>

class LineNumberArea;

// Read-mostly text view with a line-number gutter; used as the log pane.
class CodeEditor : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit CodeEditor(QWidget* parent = nullptr);

    // Only records the wish; takes effect at the next cursor move.
    void setLineHighlightEnabled(bool enabled);

    void paintLineNumbers(QPaintEvent* event);
    int lineNumberWidth();

protected:
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void updateLineNumberAreaWidth(int newBlockCount);
    void highlightCurrentLine();
    void updateLineNumberArea(const QRect& rect, int dy);

private:
    LineNumberArea* lineNumberArea;  // child widget, owned through the Qt parent
    bool lineHighlight;
};

// Gutter beside a CodeEditor; all drawing is done by the editor, which knows the block layout.
class LineNumberArea : public QWidget {
    Q_OBJECT

public:
    explicit LineNumberArea(CodeEditor* editor);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CodeEditor* codeEditor;  // not owned: the editor is our parent
};
