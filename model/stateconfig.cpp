#include "stateconfig.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <yaml-cpp/yaml.h>

#include <exception>
#include <string>

namespace {

// The four tables being filled by one load; committed only when the whole file is sound.
struct Tables {
    StateConfig::WordTable stateWords;
    StateConfig::WordTable errorWords;
    StateConfig::WordTable drvErrorWords;
    StateConfig::WordTable warnings;

    StateConfig::WordTable* forSection(const std::string& key) {
        if (key == "state_word") {
            return &stateWords;
        }
        if (key == "error_word") {
            return &errorWords;
        }
        if (key == "drv_error_word") {
            return &drvErrorWords;
        }
        if (key == "warnning") {  // sic: the key the drive documentation has always used
            return &warnings;
        }
        return nullptr;
    }
};

// Thrown inside load only, for a file whose structure is not product -> section -> bit -> text.
struct MalformedFile {
    const char* reason;
};

QString toQString(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// A section is a mapping from bit keys to texts. An empty (null) section names no bits but
// still declares the word for the product; so does a bit whose text is left empty.
void readSection(const YAML::Node& section, StateConfig::BitTexts& bits) {
    if (section.IsNull()) {
        return;
    }
    if (!section.IsMap()) {
        throw MalformedFile{"a section is not a mapping"};
    }
    for (const auto& entry : section) {
        const YAML::Node& key = entry.first;
        const YAML::Node& text = entry.second;
        if (!(key.IsScalar() || key.IsNull()) || !(text.IsScalar() || text.IsNull())) {
            throw MalformedFile{"a bit entry is not a scalar key with a scalar text"};
        }
        if (!key.IsScalar() || !text.IsScalar()) {
            continue;
        }
        const int bit = StateConfig::bitIndexOf(toQString(key.Scalar()));
        if (bit < 0 || bit >= StateConfig::kMaxBits) {
            continue;
        }
        bits.insert(uint64_t{1} << bit, toQString(text.Scalar()));
    }
}

void readProduct(const QString& product, const YAML::Node& sections, Tables& tables) {
    if (sections.IsNull()) {
        return;
    }
    if (!sections.IsMap()) {
        throw MalformedFile{"a product type is not a mapping of sections"};
    }
    for (const auto& entry : sections) {
        if (!entry.first.IsScalar()) {
            continue;  // cannot be a section key; other keys are ignored
        }
        StateConfig::WordTable* table = tables.forSection(entry.first.Scalar());
        if (table == nullptr) {
            continue;
        }
        readSection(entry.second, (*table)[product]);
    }
}

void readRoot(const YAML::Node& root, Tables& tables) {
    if (root.IsNull()) {
        return;  // empty file, or comments only
    }
    if (!root.IsMap()) {
        throw MalformedFile{"the root is not a mapping of product types"};
    }
    // Iterating rather than looking up keeps every entry of a product named more than once.
    for (const auto& entry : root) {
        if (!entry.first.IsScalar()) {
            throw MalformedFile{"a product type name is not a scalar"};
        }
        readProduct(toQString(entry.first.Scalar()), entry.second, tables);
    }
}

}  // namespace

QString stateTextDisplay(const QString& text) {
    return QCoreApplication::translate("StateConfig", text.toUtf8().constData());
}

StateConfig::StateConfig(QObject* parent) : QObject(parent) {}

bool StateConfig::load(const QString& fileName) {
    if (!QFileInfo(fileName).isFile()) {
        qDebug("Error: YAML file does not exist!");
        return false;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug() << "Error: YAML file cannot be read:" << file.errorString();
        return false;
    }
    return loadData(file.readAll());
}

bool StateConfig::loadData(const QByteArray& content) {
    Tables tables{stateWords_, errorWords_, drvErrorWords_, warnings_};
    try {
        readRoot(YAML::Load(content.toStdString()), tables);
    } catch (const MalformedFile& e) {
        qDebug() << "Error: YAML file is malformed:" << e.reason;
        return false;
    } catch (const std::exception& e) {
        qDebug() << "Error: YAML file cannot be parsed:" << e.what();
        return false;
    }

    stateWords_ = std::move(tables.stateWords);
    errorWords_ = std::move(tables.errorWords);
    drvErrorWords_ = std::move(tables.drvErrorWords);
    warnings_ = std::move(tables.warnings);
    return true;
}

int StateConfig::bitIndexOf(const QString& key) {
    static const QRegularExpression pattern(QStringLiteral("1<<([0-9]+)"));
    const QRegularExpressionMatch match = pattern.match(key);
    if (!match.hasMatch()) {
        return -1;
    }
    bool ok = false;
    const uint n = match.captured(1).toUInt(&ok, 10);
    if (!ok || n > static_cast<uint>(INT_MAX)) {
        return -1;
    }
    return static_cast<int>(n);
}

bool StateConfig::decodeErrorWord(const QString& productType, uint64_t word,
                                  QStringList& texts) const {
    return decode(errorWords_, productType, word, texts);
}

bool StateConfig::decodeDrvErrorWord(const QString& productType, uint64_t word,
                                     QStringList& texts) const {
    return decode(drvErrorWords_, productType, word, texts);
}

bool StateConfig::decode(const WordTable& table, const QString& productType, uint64_t word,
                         QStringList& texts) {
    texts.clear();
    const auto product = table.constFind(productType);
    if (product == table.cend()) {
        return false;
    }
    for (auto it = product->cbegin(); it != product->cend(); ++it) {
        if ((it.key() & word) != 0) {
            texts.append(it.value());
        }
    }
    if (texts.isEmpty()) {
        texts.append(QStringLiteral("PADDING"));
    }
    return true;
}

QString StateConfig::errorWordSummary(bool driveWord, const QString& productType,
                                      uint32_t word) const {
    const QString hex = QStringLiteral("0x%1").arg(word, 8, 16, QLatin1Char('0'));
    QStringList texts;
    const bool known = word != 0 && (driveWord ? decodeDrvErrorWord(productType, word, texts)
                                               : decodeErrorWord(productType, word, texts));
    if (!known) {
        return hex;
    }
    for (QString& text : texts) {
        text = stateTextDisplay(text);
    }
    return hex + QLatin1Char(' ') + texts.join(QStringLiteral(", "));
}
