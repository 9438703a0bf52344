#include "parameterset.h"

#include <yaml-cpp/yaml.h>

#include <QCoreApplication>

#include <cmath>
#include <limits>
#include <set>
#include <string>

#include "model/paramtable.h"

namespace {

constexpr int kFormatVersion = 1;

// Why a file is refused, in the operator's language: it is shown in the log and a message box.
class ParameterSetFile {
    Q_DECLARE_TR_FUNCTIONS(ParameterSetFile)
};

// A parameter's name as the operator reads it; files keep the table's own.
QString shownName(const ParamInfo& p) {
    return paramDisplayName(p);
}

struct Range {
    double minimum;
    double maximum;
};

bool isThousandths(const ParamInfo& p) {
    return p.displayKind == kDisplayThousandths;
}

bool isFloat(const ParamInfo& p) {
    return p.typeCode == kParamType32Bit && p.displayKind == kDisplayFloat;
}

// What the drive's type holds, in the page's units.
Range typeRange(const ParamInfo& p) {
    if (isThousandths(p)) {
        return {0.0, std::numeric_limits<uint16_t>::max() / 1000.0};
    }
    switch (p.typeCode) {
        case kParamTypeInt8:
            return {std::numeric_limits<int8_t>::min(), std::numeric_limits<int8_t>::max()};
        case kParamTypeUInt8:
            return {0.0, std::numeric_limits<uint8_t>::max()};
        case kParamTypeUInt16:
            return {0.0, std::numeric_limits<uint16_t>::max()};
        default:
            return isFloat(p) ? Range{-std::numeric_limits<float>::max(),
                                      std::numeric_limits<float>::max()}
                              : Range{0.0, std::numeric_limits<uint32_t>::max()};
    }
}

const ParamInfo* setRow(int id) {
    const ParamInfo* p = findParam(id);
    return p != nullptr && p->displayKind != kDisplayNone ? p : nullptr;
}

std::string utf8(const QString& s) {
    return s.toStdString();
}

QString fromUtf8(const std::string& s) {
    return QString::fromStdString(s);
}

// Thrown while a file is read; `line` is 1-based, 0 when the place is unknown.
struct Refusal {
    int line;
    QString reason;
};

int lineOf(const YAML::Node& node) {
    return node.Mark().is_null() ? 0 : node.Mark().line + 1;
}

[[noreturn]] void refuse(const YAML::Node& at, const QString& reason) {
    throw Refusal{lineOf(at), reason};
}

QString scalarText(const YAML::Node& node, const char* key, const YAML::Node& owner) {
    if (!node.IsScalar()) {
        refuse(node.IsDefined() ? node : owner,
               ParameterSetFile::tr("'%1' is not a text").arg(key));
    }
    return fromUtf8(node.Scalar());
}

ParameterSet readSet(const YAML::Node& root) {
    if (!root.IsMap()) {
        refuse(root, ParameterSetFile::tr("not a parameter set"));
    }
    ParameterSet set;
    if (const YAML::Node format = root["format"]) {
        int version = 0;
        if (!format.IsScalar() || !YAML::convert<int>::decode(format, version) ||
            version != kFormatVersion) {
            refuse(format, ParameterSetFile::tr("format %1 is not one this version reads")
                               .arg(fromUtf8(format.IsScalar() ? format.Scalar() : "?")));
        }
    }
    const YAML::Node type = root["product_type"];
    if (!type) {
        refuse(root, ParameterSetFile::tr("no 'product_type'"));
    }
    set.productType = scalarText(type, "product_type", root);
    if (const YAML::Node version = root["software_version"]) {
        set.softwareVersion = scalarText(version, "software_version", root);
    }
    if (const YAML::Node batch = root["batch"]) {
        int value = 0;
        if (!batch.IsScalar() || !YAML::convert<int>::decode(batch, value)) {
            refuse(batch, ParameterSetFile::tr("'batch' is not a whole number"));
        }
        set.batch = value;
    }
    if (const YAML::Node time = root["time"]) {
        set.time = QDateTime::fromString(scalarText(time, "time", root), Qt::ISODate);
    }

    const YAML::Node list = root["parameters"];
    if (!list || !list.IsSequence()) {
        refuse(list ? list : root, ParameterSetFile::tr("no 'parameters' list"));
    }
    for (const YAML::Node& item : list) {
        if (!item.IsMap()) {
            refuse(item,
                   ParameterSetFile::tr("a parameter is not a mapping of id, name and value"));
        }
        const YAML::Node idNode = item["id"];
        int id = -1;
        if (!idNode || !idNode.IsScalar() || !YAML::convert<int>::decode(idNode, id)) {
            refuse(idNode ? idNode : item,
                   ParameterSetFile::tr("a parameter without a numeric 'id'"));
        }
        const ParamInfo* p = setRow(id);
        if (p == nullptr) {
            refuse(idNode, ParameterSetFile::tr("unknown parameter id %1").arg(id));
        }
        if (set.values.contains(id)) {
            refuse(idNode, ParameterSetFile::tr("parameter id %1 appears twice").arg(id));
        }
        const YAML::Node valueNode = item["value"];
        double value = 0.0;
        if (!valueNode || !valueNode.IsScalar() ||
            !YAML::convert<double>::decode(valueNode, value) || !std::isfinite(value)) {
            refuse(valueNode ? valueNode : item,
                   ParameterSetFile::tr("parameter %1 (%2): the value is not a number")
                       .arg(id)
                       .arg(shownName(*p)));
        }
        if (!parameterValueValid(id, value)) {
            refuse(valueNode,
                   ParameterSetFile::tr("parameter %1 (%2): %3 is out of range or not a step "
                                        "the drive takes")
                       .arg(id)
                       .arg(shownName(*p), fromUtf8(valueNode.Scalar())));
        }
        set.values.insert(id, value);
    }
    return set;
}

}  // namespace

QList<int> parameterSetIds() {
    QList<int> ids;
    const ParamTable& table = paramTable();
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        if (it.value().displayKind != kDisplayNone) {
            ids.append(it.key());
        }
    }
    return ids;
}

bool parameterValueValid(int id, double value) {
    const ParamInfo* p = setRow(id);
    if (p == nullptr || !std::isfinite(value)) {
        return false;
    }
    const EditorRange editor = editorRangeFor(p->displayKind);
    const Range type = typeRange(*p);
    if (value < std::max(editor.minimum, type.minimum) ||
        value > std::min(editor.maximum, type.maximum)) {
        return false;
    }
    if (isFloat(*p)) {
        return true;
    }
    const double steps = isThousandths(*p) ? value * 1000.0 : value;
    return std::fabs(steps - std::round(steps)) < 1e-6;
}

QByteArray parameterSetBytes(int id, double value) {
    const ParamInfo* p = setRow(id);
    if (p == nullptr) {
        return {};
    }
    if (isThousandths(*p)) {
        const auto raw =
            static_cast<uint16_t>(std::lround(std::clamp(value * 1000.0, 0.0, 65535.0)));
        QByteArray bytes(2, '\0');
        bytes[0] = static_cast<char>(raw & 0xFF);
        bytes[1] = static_cast<char>(raw >> 8);
        return bytes;
    }
    return bytesFromEditorValue(id, isFloat(*p) ? value : std::round(value));
}

QString parameterValueText(int id, double value) {
    const ParamInfo* p = findParam(id);
    if (p != nullptr && isThousandths(*p)) {
        return QString::number(value, 'f', 3);
    }
    if (p != nullptr && isFloat(*p)) {
        return shortestFloatText(static_cast<float>(value));
    }
    return QString::number(static_cast<qint64>(std::llround(value)));
}

QByteArray parameterSetToYaml(const ParameterSet& set) {
    YAML::Emitter out;
    out.SetIndent(2);
    out << YAML::Comment("Drive parameter set: values as the parameter page shows them");
    out << YAML::BeginMap;
    out << YAML::Key << "format" << YAML::Value << kFormatVersion;
    out << YAML::Key << "product_type" << YAML::Value << YAML::DoubleQuoted
        << utf8(set.productType);
    out << YAML::Key << "software_version" << YAML::Value << YAML::DoubleQuoted
        << utf8(set.softwareVersion);
    if (set.batch) {
        out << YAML::Key << "batch" << YAML::Value << *set.batch;
    }
    out << YAML::Key << "time" << YAML::Value << utf8(set.time.toUTC().toString(Qt::ISODateWithMs));
    out << YAML::Key << "parameters" << YAML::Value << YAML::BeginSeq;
    for (auto it = set.values.cbegin(); it != set.values.cend(); ++it) {
        const ParamInfo* p = findParam(it.key());
        out << YAML::BeginMap;
        out << YAML::Key << "id" << YAML::Value << it.key();
        out << YAML::Key << "name" << YAML::Value << YAML::DoubleQuoted
            << utf8(p != nullptr ? p->name : QString());
        // The text as it stands: the emitter's own number format could drop a float's digits.
        out << YAML::Key << "value" << YAML::Value
            << utf8(parameterValueText(it.key(), it.value()));
        out << YAML::EndMap;
    }
    out << YAML::EndSeq << YAML::EndMap;
    QByteArray text(out.c_str(), static_cast<qsizetype>(out.size()));
    text.append('\n');
    return text;
}

ParameterSetParse parseParameterSet(const QByteArray& text) {
    ParameterSetParse result;
    try {
        result.set = readSet(YAML::Load(text.toStdString()));
    } catch (const Refusal& r) {
        result.error =
            r.line > 0 ? ParameterSetFile::tr("line %1: %2").arg(r.line).arg(r.reason) : r.reason;
    } catch (const YAML::Exception& e) {
        result.error = ParameterSetFile::tr("line %1: %2")
                           .arg(e.mark.is_null() ? 0 : e.mark.line + 1)
                           .arg(fromUtf8(e.msg));
    }
    return result;
}

QList<ParameterCompareRow> compareParameterSets(const ParameterSet& left,
                                                const ParameterSet& right) {
    QList<ParameterCompareRow> rows;
    const auto identity = [&rows](int id, const QString& a, const QString& b) {
        rows.append({-1, paramTable().value(id).name, a, b, a != b, false});
    };
    const auto batchText = [](const std::optional<int>& b) {
        return b ? QString::number(*b) : QString();
    };
    identity(kParamIdProductType, left.productType, right.productType);
    identity(kParamIdSoftwareVersion, left.softwareVersion, right.softwareVersion);
    identity(kParamIdProductBatch, batchText(left.batch), batchText(right.batch));
    for (const int id : parameterSetIds()) {
        const auto a = left.values.constFind(id);
        const auto b = right.values.constFind(id);
        const bool hasA = a != left.values.cend();
        const bool hasB = b != right.values.cend();
        ParameterCompareRow row{id,
                                paramTable().value(id).name,
                                hasA ? parameterValueText(id, *a) : QString(),
                                hasB ? parameterValueText(id, *b) : QString(),
                                false,
                                true};
        row.differs =
            hasA != hasB || (hasA && parameterSetBytes(id, *a) != parameterSetBytes(id, *b));
        rows.append(row);
    }
    return rows;
}
