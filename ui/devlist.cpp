#include "devlist.h"

#include <QAction>
#include <QBrush>
#include <QClipboard>
#include <QColor>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelection>
#include <QPalette>
#include <QSaveFile>
#include <QStandardItemModel>
#include <QStringList>
#include <QToolButton>

#include <algorithm>

#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "ui/devsortfilter.h"
#include "ui/tabletext.h"
#include "ui_devlist.h"

namespace {

constexpr int ColumnCount = 8;

const QColor OnlineColor(0, 0, 0);
const QColor OfflineColor(180, 180, 180);
const QColor HintColor(140, 140, 140);
const QColor MovedColor(255, 228, 160);   // the status strip's amber, light enough for black text
constexpr int MovedHighlightMs = 4000;

const char ViewStyle[] =
    "QHeaderView::section{"
    "font-family:\"微软雅黑\";font-size:11px;color:#000000;"
    "background:qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #ececec,stop:0.5 #dcdcdc,stop:1 #cccccc);}"
    "QScrollBar:vertical{width:8px;margin:0px;border:0px;background:transparent;}"
    "QScrollBar:horizontal{height:8px;margin:0px;border:0px;background:transparent;}"
    "QScrollBar::handle{background:#a0a3a9;border-radius:4px;}"
    "QScrollBar::add-line,QScrollBar::sub-line{width:0px;height:0px;}"
    "QScrollBar::add-page,QScrollBar::sub-page{background:none;}";

// While answers keep coming, the view is redrawn at most this often.
constexpr int RepaintIntervalMs = 20;
// Counting walks every row, so it runs once per burst of changes, not per answer.
constexpr int CountIntervalMs = 100;

// What a device row's cell shows; the state column also holds the state it sorts by.
void writeCell(QStandardItem *cell, int column, const QString &text, const QBrush &foreground, bool online)
{
    cell->setText(text);
    cell->setForeground(foreground);
    if (column == DevSortFilter::OnlineColumn)
        cell->setData(online, DevSortFilter::OnlineRole);
}

// A cell of a device row, written before the model sees it; the name column
// carries the device icon.
QStandardItem *newCell(int column, const QIcon &icon, const QString &text, const QBrush &foreground, bool online)
{
    auto *cell = new QStandardItem;
    if (column == DevSortFilter::NameColumn)
        cell->setIcon(icon);
    writeCell(cell, column, text, foreground, online);
    return cell;
}

} // namespace

DevList::DevList(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::DevList)
    , devs(Devs::instance())
    , connect(Connect::instance())
    , sortFilter(new DevSortFilter(this))
    , deviceIcon(QStringLiteral(":/btn/images/c512.png"))
{
    ui->setupUi(this);
    repaintTimer.setSingleShot(true);
    repaintTimer.setInterval(RepaintIntervalMs);
    QObject::connect(&repaintTimer, SIGNAL(timeout()), this, SLOT(repaintDeferred()));

    // The look of the view is the same for every model, so it is set once here;
    // cleanList() only needs a fresh model.
    ui->treeView->setStyleSheet(QString::fromUtf8(ViewStyle));
    ui->treeView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->treeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every row is one line of text with a small icon; equal heights spare the
    // view measuring each of thousands of rows.
    ui->treeView->setUniformRowHeights(true);
    ui->treeView->setContextMenuPolicy(Qt::CustomContextMenu);
    // Ctrl/Shift-click picks several devices, to update them in one run.
    ui->treeView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ui->treeView->setModel(sortFilter);
    // Registry order until the installer clicks a header.
    ui->treeView->header()->setSortIndicator(-1, Qt::AscendingOrder);
    ui->treeView->setSortingEnabled(true);
    setFocusProxy(ui->treeView);
    setUpModel();

    auto *copy = new QAction(this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    ui->treeView->addAction(copy);
    QObject::connect(copy, &QAction::triggered, this, &DevList::copySelectedRows);
    // The style sheet's black text would make the hint look typed in; set
    // once the sheet is applied, or the sheet would set it back.
    ui->lineEdit_filter->ensurePolished();
    QPalette hint = ui->lineEdit_filter->palette();
    hint.setColor(QPalette::PlaceholderText, HintColor);
    ui->lineEdit_filter->setPalette(hint);
    // The line edit's own clear button is a control a screen reader names too.
    if (auto *clear = ui->lineEdit_filter->findChild<QToolButton *>())
        clear->setAccessibleName(tr("清除筛选"));
    QObject::connect(ui->lineEdit_filter, &QLineEdit::textChanged, this, [this](const QString &text) {
        sortFilter->setFilterText(text);
        deferCount();
    });
    QObject::connect(ui->pushButton_export, &QPushButton::clicked, this, &DevList::exportList);
    QObject::connect(ui->pushButton_import, &QPushButton::clicked, this, &DevList::importPlanMsg);
    QObject::connect(ui->pushButton_report, &QPushButton::clicked, this, &DevList::siteReportMsg);
    countTimer.setSingleShot(true);
    countTimer.setInterval(CountIntervalMs);
    QObject::connect(&countTimer, &QTimer::timeout, this, &DevList::countDevices);

    QObject::connect(devs, SIGNAL(loadDevMsg(int)), this, SLOT(loadDev(int)));
    QObject::connect(ui->treeView, SIGNAL(customContextMenuRequested(const QPoint &)),
                     this, SLOT(openMenu(const QPoint &)));
    QObject::connect(ui->treeView, SIGNAL(pressed(const QModelIndex &)), this, SLOT(selectRow(const QModelIndex &)));
    QObject::connect(ui->treeView, SIGNAL(clickMsg()), this, SLOT(clickTreeView()));
    QObject::connect(ui->treeView, SIGNAL(enterMsg(const QModelIndex &)), this, SLOT(openConfig(const QModelIndex &)));
    QObject::connect(connect, SIGNAL(cleanListMsg()), this, SLOT(cleanList()));
}

DevList::~DevList()
{
    delete ui;
}

void DevList::setUpModel()
{
    QStandardItemModel *oldModel = model;
    model = new QStandardItemModel(ui->treeView);
    sortFilter->setSourceModel(model);
    // Dropped, so that repeated clean-ups do not pile the old models up.
    delete oldModel;

    model->setHorizontalHeaderLabels(
        {QString(), tr("IP地址"), tr("信息源地址"), tr("MAC地址"), tr("软件版本"), tr("在线"), tr("标签"), tr("分配地址")});
    // Wide enough for "Device1000", a full dotted address with its port, a MAC
    // text and a long version, so that nothing an installer reads is elided.
    const int widths[] = {125, 120, 160, 150, 170, 70, 160};
    for (int column = 0; column < int(std::size(widths)); ++column)
        ui->treeView->setColumnWidth(column, widths[column]);
    ui->treeView->setColumnHidden(DevSortFilter::LabelColumn, labels.isEmpty());
    ui->treeView->setColumnHidden(DevSortFilter::AssignedColumn, assigned.isEmpty());
}

void DevList::addLabels(const QHash<QString, QString> &labelsByMac)
{
    for (auto it = labelsByMac.cbegin(); it != labelsByMac.cend(); ++it)
        labels.insert(it.key().toUpper(), it.value());
    ui->treeView->setColumnHidden(DevSortFilter::LabelColumn, labels.isEmpty());
    rewriteAll();
}

void DevList::showAssigned(const QHash<QString, QString> &ipsByMac)
{
    assigned.clear();
    for (auto it = ipsByMac.cbegin(); it != ipsByMac.cend(); ++it)
        assigned.insert(it.key().toUpper(), it.value());
    ui->treeView->setColumnHidden(DevSortFilter::AssignedColumn, assigned.isEmpty());
    rewriteAll();
}

void DevList::rewriteAll()
{
    for (int row = 0; row < model->rowCount(); ++row)
        loadDev(row);
}

void DevList::cleanList()
{
    setUpModel();
    deferCount();
}

void DevList::loadDev(int row)
{
    const QList<Dev *> list = devs->getDevList();
    if (row < 0 || row >= list.size())
        return;
    const Dev *dev = list.at(row);
    QTreeView *view = ui->treeView;

    // Only this row's cells are written, so only its expanded state can be
    // lost; scanning every row here would make a search over thousands of
    // devices (one redraw per device) quadratic.
    expanded.clear();
    const QModelIndex own = sortFilter->mapFromSource(model->index(row, 0));
    if (own.isValid() && view->isExpanded(own))
        expanded.append(own);

    const QString texts[ColumnCount] = {
        tr("设备") + QString::number(row + 1),
        dev->ip(),
        dev->addr.toString() + QLatin1Char(':') + QString::number(dev->port),
        dev->mac(),
        dev->version(),
        dev->online >= 1 ? tr("在线") : tr("不在线"),
        labels.value(dev->mac().toUpper()),
        assigned.value(dev->mac().toUpper()),
    };
    const bool online = dev->online >= 1;
    const QBrush foreground(online ? OnlineColor : OfflineColor);

    if (row >= model->rowCount()) {
        // A new device: its row goes in whole and written, one change for the
        // view rather than one per cell.
        QList<QStandardItem *> cells;
        for (int column = 0; column < ColumnCount; ++column)
            cells << newCell(column, deviceIcon, texts[column], foreground, online);
        model->setRowCount(row);   // rows the registry has not announced yet stay empty
        model->insertRow(row, cells);
    } else {
        // Cells are rewritten in place: replacing an item would make the model
        // announce a layout change and the view relay out every row, while
        // rewriting repaints this row alone (and nothing when it is unchanged).
        const QStandardItem *ipCell = model->item(row, 1);
        const bool moved = ipCell && !ipCell->text().isEmpty() && ipCell->text() != texts[1];
        for (int column = 0; column < ColumnCount; ++column) {
            QStandardItem *cell = model->item(row, column);
            if (!cell) {   // a row left empty above
                model->setItem(row, column, newCell(column, deviceIcon, texts[column], foreground, online));
                continue;
            }
            writeCell(cell, column, texts[column], foreground, online);
            if (moved)
                cell->setBackground(MovedColor);
        }
        if (moved)
            fadeHighlight(row);
    }

    // The selection lives on the sorted view's rows, which follow their
    // devices through rewrites, moves and insertions: nothing to restore.
    for (const QModelIndex &index : qAsConst(expanded))
        view->expand(index);
    deferRepaint();
    deferCount();
}

// A device that answers at a new address (after a reset, new settings or
// "Prepare All Update") stands out for a few seconds, so the installer sees which.
void DevList::fadeHighlight(int row)
{
    const QPersistentModelIndex first = model->index(row, 0);
    QTimer::singleShot(MovedHighlightMs, this, [this, first] {
        if (!first.isValid())
            return;   // the list was cleaned meanwhile
        for (int column = 0; column < ColumnCount; ++column) {
            if (QStandardItem *cell = model->item(first.row(), column))
                cell->setBackground(QBrush());
        }
    });
}

// Each answer of a burst would otherwise redraw every visible row, and a
// thousand answers within milliseconds would cost a thousand redraws: the first
// change of a quiet list shows at once, later ones together once per interval.
void DevList::deferRepaint()
{
    if (!repaintTimer.isActive()) {
        repaintTimer.start();
        return;
    }
    if (ui->treeView->updatesEnabled())
        ui->treeView->setUpdatesEnabled(false);
}

void DevList::repaintDeferred()
{
    if (ui->treeView->updatesEnabled())
        return;   // nothing held back: the burst is over
    ui->treeView->setUpdatesEnabled(true);   // redraws the view
    repaintTimer.start();
}

void DevList::selectRow(QModelIndex index)
{
    const QModelIndex device = sortFilter->mapToSource(index);
    if (device.parent().isValid())
        emit selectChannelMsg(device.parent().row(), device.row());
    else
        emit selectRowMsg(device.row());
}

void DevList::openMenu(QPoint pos)
{
    // The press comes in the list's viewport; the menu is placed in the window.
    emit openMenuMsg(ui->treeView->viewport()->mapTo(window(), pos));
}

void DevList::clickTreeView()
{
    emit clickTreeViewMsg();
}

void DevList::deferCount()
{
    if (!countTimer.isActive())
        countTimer.start();
}

void DevList::countDevices()
{
    const auto online = [this](const QAbstractItemModel *rows) {
        int count = 0;
        for (int row = 0; row < rows->rowCount(); ++row)
            count += rows->index(row, DevSortFilter::OnlineColumn).data(DevSortFilter::OnlineRole).toBool();
        return count;
    };
    const int total = model->rowCount();
    const int shown = sortFilter->rowCount();
    if (shown == total)
        emit countsMsg(tr("%n台设备，%1台在线", nullptr, total).arg(online(model)));
    else
        emit countsMsg(tr("%1/%n台设备，%2/%3台在线", nullptr, total)
                               .arg(shown).arg(online(sortFilter)).arg(online(model)));
}

QList<QWidget *> DevList::tabChain() const
{
    return {ui->lineEdit_filter, ui->pushButton_export, ui->pushButton_import, ui->pushButton_report, ui->treeView};
}

QList<int> DevList::selectedDevRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : ui->treeView->selectionModel()->selectedRows())
        rows << sortFilter->mapToSource(index).row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

QList<QStringList> DevList::shownRows(bool selectedOnly) const
{
    QList<QStringList> rows;
    const QItemSelectionModel *selection = ui->treeView->selectionModel();
    for (int row = 0; row < sortFilter->rowCount(); ++row) {
        if (selectedOnly && !selection->isRowSelected(row, QModelIndex()))
            continue;
        QStringList texts;
        for (int column = 0; column < ColumnCount; ++column) {
            if (!ui->treeView->isColumnHidden(column))
                texts << sortFilter->index(row, column).data().toString();
        }
        rows << texts;
    }
    return rows;
}

void DevList::copySelectedRows()
{
    const QList<QStringList> rows = shownRows(true);
    if (!rows.isEmpty())
        QGuiApplication::clipboard()->setText(TableText::tabSeparated(rows));
}

QString DevList::exportTo(const QString &path) const
{
    QList<QStringList> rows = shownRows(false);
    QStringList header{tr("设备")};
    for (int column = 1; column < ColumnCount; ++column) {
        if (!ui->treeView->isColumnHidden(column))
            header << model->headerData(column, Qt::Horizontal).toString();
    }
    rows.prepend(header);
    // Written whole or not at all: a half-written report is worse than none.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(TableText::csv(rows)) < 0 || !file.commit())
        return tr("无法写入%1：%2").arg(QDir::toNativeSeparators(path), file.errorString());
    return tr("已导出%n台设备到%1", nullptr, rows.size() - 1).arg(QDir::toNativeSeparators(path));
}

void DevList::exportList()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("导出列表"), QDir::home().filePath(QStringLiteral("devices.csv")),
                                                      tr("CSV文件 (*.csv)"));
    if (!path.isEmpty())
        emit statusMsg(exportTo(path));
}

void DevList::openConfig(const QModelIndex &index)
{
    // The keyboard moves the current row without pressing it: Enter selects it first.
    selectRow(index);
    emit openConfigMsg();
}
