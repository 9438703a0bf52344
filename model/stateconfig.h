#pragma once

// Names of the bits of the drives' status and fault words, per product type, read from
// state_config.yaml. The console carries no bit meanings of its own.

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>

// A bit text of the file as operators read it, translated in context "StateConfig". The texts
// are data of the file: translations/state_config_texts.cpp lists them for lupdate.
QString stateTextDisplay(const QString& text);

class StateConfig : public QObject {
    Q_OBJECT

public:
    // Bit mask (a single bit) -> text of that bit, in ascending bit order.
    using BitTexts = QMap<uint64_t, QString>;
    // Product type name -> its bit texts for one word.
    using WordTable = QMap<QString, BitTexts>;

    explicit StateConfig(QObject* parent = nullptr);

    // Reads a definitions file and adds its entries to the tables. Returns false, leaving the
    // tables exactly as they were, when the file is missing, is not YAML, or is not shaped as
    // product -> section -> bit key -> text. An empty file is a valid file without products.
    bool load(const QString& fileName);
    // The same for the contents of such a file.
    bool loadData(const QByteArray& content);

    // Bit number named by a key such as "1<<5" (first match anywhere, no blanks inside);
    // -1 when the key names none.
    static int bitIndexOf(const QString& key);

    // Texts of the set bits of a word in ascending bit order, "PADDING" when the file names none
    // of them. False with an empty list when the product type has no such word in the file. The
    // texts are the file's, untranslated (stateTextDisplay).
    bool decodeErrorWord(const QString& productType, uint64_t word, QStringList& texts) const;
    bool decodeDrvErrorWord(const QString& productType, uint64_t word, QStringList& texts) const;
    // "0x%08x" of a motor (or drive) error word, followed by the texts of its set bits when the
    // word is not 0 and the product type names them: one line for the log and the overview, its
    // texts translated.
    QString errorWordSummary(bool driveWord, const QString& productType, uint32_t word) const;

    const WordTable& stateWords() const { return stateWords_; }
    const WordTable& errorWords() const { return errorWords_; }
    const WordTable& drvErrorWords() const { return drvErrorWords_; }
    const WordTable& warnings() const { return warnings_; }

    // Bits the tables can hold; a larger bit number in the file is ignored.
    static constexpr int kMaxBits = 64;

private:
    static bool decode(const WordTable& table, const QString& productType, uint64_t word,
                       QStringList& texts);

    // GUI thread only: loaded once at start, read by the status display.
    WordTable stateWords_;
    WordTable errorWords_;
    WordTable drvErrorWords_;
    WordTable warnings_;
};
