#pragma once

#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTextDocumentFragment>

// What "one language" means for a text on screen or in a translation.

inline QString plainText(const QString& text) {
    return Qt::mightBeRichText(text) ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
}

inline bool hasCjk(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3000 && u <= 0x303f) || (u >= 0x3400 && u <= 0x9fff) ||
            (u >= 0xff00 && u <= 0xffef))
            return true;
    }
    return false;
}

// The English words of a text meant to be Chinese. Kept in Chinese: the protocol's and profile's
// terms, units, key names, file types; words holding digits (product types, hex) are names.
inline QStringList untranslatedEnglish(const QString& text) {
    static const QSet<QString> kept{
        // protocol and profile
        "EtherCAT", "CiA", "CoE", "SDO", "PDO", "RxPDO", "TxPDO", "FoE", "EMCY", "DC", "AL", "SII",
        "ESC", "FMMU", "SM", "INIT", "Init", "PRE", "OP", "SAFE", "BOOT", "ERROR", "ERR", "EC",
        "STATE", "OPERATIONAL", "ErrorWord", "DrvErrorWord", "MCU", "MOS", "NTC", "PASS", "NG",
        "PID", "Kp", "Ki", "Kd", "Zentrio", "SyncManager", "VAR", "ARRAY", "RECORD",
        // units, keys, file types
        "ms", "ns", "Nm", "rpm", "turn", "deg", "Esc", "Ctrl", "txt", "csv", "CSV", "png", "PNG",
        "PDF", "yaml", "yml", "YAML", "efw", "bin"};
    // Words holding digits, file names and paths, and quoted keys of files.
    static const QRegularExpression named(
        QStringLiteral("\\w*\\d\\w*|[\\w\\-]*(?:[/.][\\w\\-]+)+|'[^']*'"));
    static const QRegularExpression word(QStringLiteral("[A-Za-z][A-Za-z_]+"));
    QString rest = text;
    rest.replace(named, QStringLiteral(" "));
    QStringList found;
    for (auto it = word.globalMatch(rest); it.hasNext();) {
        QString w = it.next().captured();
        for (const QString& part : w.split(u'_', Qt::SkipEmptyParts))
            if (part.size() > 1 && !kept.contains(part))
                found << part;
    }
    return found;
}

// The argument markers (%1, %2, ...) a text uses, each once, in order of number.
inline QStringList placeholders(const QString& text) {
    static const QRegularExpression marker(QStringLiteral("%(\\d+)"));
    QStringList found;
    for (auto it = marker.globalMatch(text); it.hasNext();)
        found << it.next().captured(1);
    found.removeDuplicates();
    std::sort(found.begin(), found.end());
    return found;
}
