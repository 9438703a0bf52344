#include "objectdictionary.h"

#include <QHeaderView>
#include <QShortcut>
#include <QTreeWidgetItem>
#include <QtConcurrent/QtConcurrentRun>

#include "entryvalue.h"
#include "model/paramtable.h"
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

// The page's name for a drive parameter, the drive's own otherwise.
QString entryName(uint16_t object, const DictionaryEntry& e) {
    if (object == kParamObjectIndex && e.subIndex >= 1) {
        if (const ParamInfo* p = findParam(e.subIndex - 1)) {
            return p->name;
        }
    }
    return e.name;
}

bool isEntry(const QTreeWidgetItem* item) {
    return item != nullptr && item->data(kIndex, kSubRole).isValid();
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
    connect(&watcher, &QFutureWatcher<void>::finished, this, [this] {
        running = false;
        auto done = std::move(whenDone);
        if (!closing && done) {
            done();
        }
        updateButtons();
        emit jobDone();
    });
}

ObjectDictionary::~ObjectDictionary() {
    closing = true;
    if (cancel) {
        *cancel = true;
    }
    watcher.waitForFinished();
    delete ui;
}

void ObjectDictionary::showEvent(QShowEvent* event) {
    // The drives of the bus as it is now.
    const int kept = ui->comboBox_drive->currentIndex();
    ui->comboBox_drive->clear();
    for (int i = 0; i < master->driveCount(); ++i) {
        ui->comboBox_drive->addItem(tr("Drive %1").arg(i), i);
    }
    ui->comboBox_drive->setCurrentIndex(kept >= 0 && kept < master->driveCount() ? kept : 0);
    updateButtons();
    QWidget::showEvent(event);
}

void ObjectDictionary::start(std::function<void()> work, std::function<void()> done) {
    running = true;
    whenDone = std::move(done);
    updateButtons();
    watcher.setFuture(QtConcurrent::run(std::move(work)));
}

void ObjectDictionary::setStatus(const QString& text) {
    ui->label_status->setText(text);
}

void ObjectDictionary::on_pushButton_readDictionary_clicked() {
    if (running || ui->comboBox_drive->currentIndex() < 0) {
        return;
    }
    const int drive = ui->comboBox_drive->currentData().toInt();
    cancel = std::make_shared<std::atomic<bool>>(false);
    auto result = std::make_shared<std::optional<QList<DictionaryObject>>>();
    ui->progressBar->setValue(0);
    setStatus(tr("Reading the dictionary of drive %1…").arg(drive));
    start(
        [this, m = master, drive, result, flag = cancel] {
            *result = m->readDictionary(drive, [this, flag](int done, int total) {
                QMetaObject::invokeMethod(
                    ui->progressBar,
                    [bar = ui->progressBar, done, total] {
                        bar->setMaximum(total);
                        bar->setValue(done);
                    },
                    Qt::QueuedConnection);
                return !*flag;
            });
        },
        [this, drive, result] {
            if (!*result) {
                setStatus(
                    tr("The dictionary of drive %1 could not be read; see the log.").arg(drive));
                return;
            }
            shownDrive = drive;
            fillTree(**result);
            setStatus(
                tr("Drive %1: %n object(s).", nullptr, static_cast<int>(result->value().size()))
                    .arg(drive));
        });
}

void ObjectDictionary::fillTree(const QList<DictionaryObject>& objects) {
    QTreeWidget* tree = ui->treeWidget_objects;
    tree->clear();
    for (const DictionaryObject& o : objects) {
        auto* top = new QTreeWidgetItem(tree);
        top->setText(kIndex, QStringLiteral("0x%1").arg(o.index, 4, 16, QLatin1Char('0')));
        top->setText(kName, o.name);
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
    if (isEntry(current)) {
        ui->label_selected->setText(current->text(kIndex) + QStringLiteral("  ") +
                                    current->text(kName));
        ui->lineEdit_value->clear();
    } else {
        ui->label_selected->setText(tr("No entry selected"));
    }
    updateButtons();
}

void ObjectDictionary::updateButtons() {
    const QTreeWidgetItem* item = ui->treeWidget_objects->currentItem();
    const bool entry = isEntry(item) && master->connected;
    const auto access = entry ? item->data(kIndex, kAccessRole).toUInt() : 0u;
    ui->pushButton_readDictionary->setEnabled(!running && master->driveCount() > 0);
    ui->pushButton_readEntry->setEnabled(!running && entry && readableInOp(access));
    ui->pushButton_writeEntry->setEnabled(!running && entry && writableInOp(access));
    ui->lineEdit_value->setEnabled(entry && writableInOp(access));
}

void ObjectDictionary::readSelected(const QString& prefix) {
    QTreeWidgetItem* item = ui->treeWidget_objects->currentItem();
    if (running || !isEntry(item)) {
        return;
    }
    const auto object = static_cast<uint16_t>(item->data(kIndex, kObjectRole).toUInt());
    const auto sub = static_cast<uint8_t>(item->data(kIndex, kSubRole).toUInt());
    const auto type = static_cast<uint16_t>(item->data(kIndex, kTypeRole).toUInt());
    const int capacity = std::max(item->data(kIndex, kBitsRole).toInt() / 8, 8);
    auto value = std::make_shared<QByteArray>();
    auto status = std::make_shared<int>(kParamFailed);
    const int drive = shownDrive;
    start([m = master, drive, object, sub, capacity, value,
           status] { *status = m->readEntry(drive, object, sub, *value, capacity); },
          [this, item, type, value, status, prefix] {
              if (*status != kParamOk) {
                  setStatus(prefix +
                            tr("%1 could not be read; see the log.").arg(item->text(kIndex)));
                  return;
              }
              const QString text = entryValueText(type, *value);
              item->setText(kValue, text);
              setStatus(prefix + tr("%1 = %2").arg(item->text(kIndex), text));
          });
}

void ObjectDictionary::on_pushButton_readEntry_clicked() {
    readSelected(QString());
}

void ObjectDictionary::on_pushButton_writeEntry_clicked() {
    QTreeWidgetItem* item = ui->treeWidget_objects->currentItem();
    if (running || !isEntry(item)) {
        return;
    }
    const auto object = static_cast<uint16_t>(item->data(kIndex, kObjectRole).toUInt());
    const auto sub = static_cast<uint8_t>(item->data(kIndex, kSubRole).toUInt());
    const auto type = static_cast<uint16_t>(item->data(kIndex, kTypeRole).toUInt());
    const auto bits = static_cast<uint16_t>(item->data(kIndex, kBitsRole).toUInt());
    const auto bytes = entryValueBytes(type, bits, ui->lineEdit_value->text());
    if (!bytes) {
        setStatus(tr("\"%1\" is not a value of type %2.")
                      .arg(ui->lineEdit_value->text(), dataTypeName(type)));
        return;
    }
    auto status = std::make_shared<int>(kParamFailed);
    const int drive = shownDrive;
    start([m = master, drive, object, sub, data = *bytes,
           status] { *status = m->writeEntry(drive, object, sub, data); },
          [this, item, status] {
              if (*status != kParamOk) {
                  setStatus(tr("%1 was not written; see the log.").arg(item->text(kIndex)));
                  return;
              }
              // What the drive holds now, not what was typed.
              if (readableInOp(static_cast<uint16_t>(item->data(kIndex, kAccessRole).toUInt()))) {
                  readSelected(tr("Written; read back: "));
              } else {
                  setStatus(tr("%1 written.").arg(item->text(kIndex)));
              }
          });
}
