#include "objectdictionary.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QRegularExpression>
#include <QShortcut>
#include <QTreeWidgetItem>

#include <optional>

#include "entryvalue.h"
#include "model/paramtable.h"
#include "transferclient.h"
#include "ui_objectdictionary.h"

namespace {

enum Column { kIndex, kName, kType, kBits, kAccess, kValue };

// Item data of an entry row; object rows carry none.
constexpr int kObjectRole = Qt::UserRole;
constexpr int kSubRole = Qt::UserRole + 1;
constexpr int kTypeRole = Qt::UserRole + 2;
constexpr int kBitsRole = Qt::UserRole + 3;
constexpr int kAccessRole = Qt::UserRole + 4;

QString objectCodeText(uint8_t code) {
    switch (code) {
        case 7:
            return QStringLiteral("VAR");
        case 8:
            return QStringLiteral("ARRAY");
        case 9:
            return QStringLiteral("RECORD");
        default:
            return QString::number(code);
    }
}

// A name the drive gives, in the operator's language where it is one of the profile's or of our
// drives' objects (translations/object_names.cpp lists them; "Mapped object 3" is found as
// "Mapped object %1"); any other name as the drive gives it.
QString shownObjectName(const QString& name) {
    const QByteArray key = name.toUtf8();
    const QString shown = QCoreApplication::translate("ObjectNames", key.constData());
    if (shown != name) {
        return shown;
    }
    static const QRegularExpression numbered(QStringLiteral("^(.*\\D) (\\d+)$"));
    if (const QRegularExpressionMatch m = numbered.match(name); m.hasMatch()) {
        const QByteArray stem = (m.captured(1) + QStringLiteral(" %1")).toUtf8();
        const QString translated = QCoreApplication::translate("ObjectNames", stem.constData());
        if (translated != QString::fromUtf8(stem)) {
            return translated.arg(m.captured(2));
        }
    }
    return name;
}

// The page's name for a drive parameter (in the operator's language), the drive's own otherwise.
QString entryName(uint16_t object, const DictionaryEntry& e) {
    if (object == kParamObjectIndex && e.subIndex >= 1) {
        if (const ParamInfo* p = findParam(e.subIndex - 1)) {
            return paramDisplayName(*p);
        }
    }
    return shownObjectName(e.name);
}

// What an entry row carries; nothing for an object row or no row.
struct EntryRef {
    uint16_t object;
    uint8_t sub;
    uint16_t type;
    uint16_t bits;
    uint16_t access;
};

std::optional<EntryRef> entryOf(const QTreeWidgetItem* item) {
    if (item == nullptr || !item->data(kIndex, kSubRole).isValid()) {
        return std::nullopt;
    }
    const auto field = [item](int role) { return item->data(kIndex, role).toUInt(); };
    return EntryRef{static_cast<uint16_t>(field(kObjectRole)),
                    static_cast<uint8_t>(field(kSubRole)), static_cast<uint16_t>(field(kTypeRole)),
                    static_cast<uint16_t>(field(kBitsRole)),
                    static_cast<uint16_t>(field(kAccessRole))};
}

}  // namespace

ObjectDictionary::ObjectDictionary(ecmaster* m, QWidget* parent)
    : QWidget(parent, Qt::Window), ui(new Ui::ObjectDictionary), master(m) {
    ui->setupUi(this);
    auto* stopKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    stopKey->setContext(Qt::WindowShortcut);
    connect(stopKey, &QShortcut::activated, this, &ObjectDictionary::stopRequested);
    ui->treeWidget_objects->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(ui->lineEdit_value, &QLineEdit::returnPressed, ui->pushButton_writeEntry,
            &QPushButton::click);
    transfers = std::make_unique<TransferClient>(master, this);
}

ObjectDictionary::~ObjectDictionary() {
    // Cancels a reading (it stops after its exchange) and waits for a transfer in flight.
    transfers.reset();
    delete ui;
}

void ObjectDictionary::setWriteGate(std::function<bool()> gate) {
    writeGate = std::move(gate);
}

void ObjectDictionary::busChanged() {
    transfers->cancel();
    if (shownDrive >= 0 && shownSession != master->busSession()) {
        // Entries of a bus that is gone: another drive may sit at that index now.
        ui->treeWidget_objects->clear();
        shownDrive = -1;
        setStatus(tr("The bus has changed; read the dictionary again."));
    }
    updateButtons();
}

void ObjectDictionary::showEvent(QShowEvent* event) {
    // The drives of the bus as it is now, each with its bus position.
    const int kept = ui->comboBox_drive->currentIndex();
    ui->comboBox_drive->clear();
    const QList<int32_t> slaves = master->validDriveList();
    for (int i = 0; i < master->driveCount(); ++i) {
        ui->comboBox_drive->addItem(tr("Drive %1 (slave %2)").arg(i).arg(slaves.value(i)), i);
    }
    ui->comboBox_drive->setCurrentIndex(kept >= 0 && kept < master->driveCount() ? kept : 0);
    updateButtons();
    QWidget::showEvent(event);
}

template <typename Work, typename Done>
void ObjectDictionary::start(Work work, Done done) {
    running = true;
    updateButtons();
    transfers->run(
        std::move(work),
        [this, done = std::move(done)](auto result) {
            running = false;
            done(result);
            updateButtons();
            emit jobDone();
        },
        [this] {
            running = false;
            updateButtons();
            emit jobDone();
        });
}

void ObjectDictionary::setStatus(const QString& text) {
    ui->label_status->setText(text);
}

void ObjectDictionary::on_pushButton_readDictionary_clicked() {
    if (running || ui->comboBox_drive->currentIndex() < 0) {
        return;
    }
    const int drive = ui->comboBox_drive->currentData().toInt();
    const uint64_t session = master->busSession();
    ui->progressBar->setValue(0);
    setStatus(tr("Reading the dictionary of drive %1…").arg(drive));
    QProgressBar* const bar = ui->progressBar;
    start(
        [m = master, drive, bar](const TransferWorker::Cancelled& cancelled) {
            return m->readDictionary(drive, [bar, &cancelled](int done, int total) {
                QMetaObject::invokeMethod(
                    bar,
                    [bar, done, total] {
                        bar->setMaximum(total);
                        bar->setValue(done);
                    },
                    Qt::QueuedConnection);
                return !cancelled;
            });
        },
        [this, drive, session](const std::optional<QList<DictionaryObject>>& result) {
            if (!result || session != master->busSession()) {
                setStatus(
                    tr("The dictionary of drive %1 could not be read; see the log.").arg(drive));
                return;
            }
            shownDrive = drive;
            shownSession = session;
            fillTree(*result);
            setStatus(tr("Objects read from drive %1: %2").arg(drive).arg(result->size()));
        });
}

void ObjectDictionary::fillTree(const QList<DictionaryObject>& objects) {
    QTreeWidget* tree = ui->treeWidget_objects;
    tree->clear();
    for (const DictionaryObject& o : objects) {
        auto* top = new QTreeWidgetItem(tree);
        top->setText(kIndex, QStringLiteral("0x%1").arg(o.index, 4, 16, QLatin1Char('0')));
        top->setText(kName, shownObjectName(o.name));
        top->setText(kType, objectCodeText(o.objectCode));
        for (const DictionaryEntry& e : o.entries) {
            auto* item = new QTreeWidgetItem(top);
            item->setText(kIndex, QStringLiteral("0x%1:%2")
                                      .arg(o.index, 4, 16, QLatin1Char('0'))
                                      .arg(e.subIndex, 2, 16, QLatin1Char('0')));
            item->setText(kName, entryName(o.index, e));
            item->setToolTip(kName, e.name);
            item->setText(kType, dataTypeName(e.dataType));
            item->setText(kBits, QString::number(e.bitLength));
            item->setText(kAccess, accessText(e.access));
            item->setData(kIndex, kObjectRole, o.index);
            item->setData(kIndex, kSubRole, e.subIndex);
            item->setData(kIndex, kTypeRole, e.dataType);
            item->setData(kIndex, kBitsRole, e.bitLength);
            item->setData(kIndex, kAccessRole, e.access);
        }
    }
    tree->expandAll();
}

void ObjectDictionary::on_treeWidget_objects_currentItemChanged(QTreeWidgetItem* current) {
    if (entryOf(current)) {
        ui->label_selected->setText(current->text(kIndex) + QStringLiteral("  ") +
                                    current->text(kName));
        ui->lineEdit_value->clear();
    } else {
        ui->label_selected->setText(tr("No entry selected"));
    }
    updateButtons();
}

void ObjectDictionary::updateButtons() {
    const auto selected = entryOf(ui->treeWidget_objects->currentItem());
    const bool entry = selected && master->isConnected() && shownSession == master->busSession();
    const uint16_t access = entry ? selected->access : 0;
    ui->pushButton_readDictionary->setEnabled(!running && master->driveCount() > 0);
    ui->pushButton_readEntry->setEnabled(!running && entry && readableInOp(access));
    ui->pushButton_writeEntry->setEnabled(!running && entry && writableInOp(access));
    ui->lineEdit_value->setEnabled(entry && writableInOp(access));
}

void ObjectDictionary::readSelected(const QString& prefix) {
    QTreeWidgetItem* item = ui->treeWidget_objects->currentItem();
    const auto e = entryOf(item);
    if (running || !e) {
        return;
    }
    const uint16_t object = e->object, type = e->type;
    const uint8_t sub = e->sub;
    const int capacity = std::max(e->bits / 8, 8);
    const int drive = shownDrive;
    const QString name = item->text(kIndex);
    start(
        [m = master, drive, object, sub, capacity](const TransferWorker::Cancelled&) {
            QByteArray value;
            const TransferResult result = m->readEntry(drive, object, sub, value, capacity);
            return std::make_pair(result, value);
        },
        [this, name, type, prefix](const std::pair<TransferResult, QByteArray>& read) {
            if (!read.first.ok()) {
                setStatus(prefix + tr("%1 could not be read: %2").arg(name, read.first.text()));
                return;
            }
            const QString text = entryValueText(type, read.second);
            // The row may be gone (the tree refilled); the status line still tells.
            if (QTreeWidgetItem* row = findEntryRow(name)) {
                row->setText(kValue, text);
            }
            setStatus(prefix + tr("%1 = %2").arg(name, text));
        });
}

QTreeWidgetItem* ObjectDictionary::findEntryRow(const QString& name) const {
    const auto found =
        ui->treeWidget_objects->findItems(name, Qt::MatchExactly | Qt::MatchRecursive, kIndex);
    return found.isEmpty() ? nullptr : found.first();
}

void ObjectDictionary::on_pushButton_readEntry_clicked() {
    readSelected(QString());
}

void ObjectDictionary::on_pushButton_writeEntry_clicked() {
    QTreeWidgetItem* item = ui->treeWidget_objects->currentItem();
    const auto e = entryOf(item);
    if (running || !e) {
        return;
    }
    const auto bytes = entryValueBytes(e->type, e->bits, ui->lineEdit_value->text());
    if (!bytes) {
        setStatus(tr("\"%1\" is not a value of type %2.")
                      .arg(ui->lineEdit_value->text(), dataTypeName(e->type)));
        return;
    }
    // The same gate as the parameter page: no write during an enable walk or a test procedure.
    if (writeGate && !writeGate()) {
        setStatus(tr("Not written: the console refuses writes now; see the log."));
        return;
    }
    const uint16_t object = e->object;
    const uint8_t sub = e->sub;
    const bool readable = readableInOp(e->access);
    const int drive = shownDrive;
    const QString name = item->text(kIndex);
    start([m = master, drive, object, sub, data = *bytes](
              const TransferWorker::Cancelled&) { return m->writeEntry(drive, object, sub, data); },
          [this, name, readable](const TransferResult& result) {
              if (!result.ok()) {
                  setStatus(tr("%1 was not written: %2").arg(name, result.text()));
                  return;
              }
              // What the drive holds now, not what was typed.
              if (readable) {
                  QMetaObject::invokeMethod(
                      this, [this] { readSelected(tr("Written; read back: ")); },
                      Qt::QueuedConnection);
              } else {
                  setStatus(tr("%1 written.").arg(name));
              }
          });
}
