#include "devlist.h"

#include <QBrush>
#include <QColor>
#include <QIcon>
#include <QItemSelection>
#include <QStandardItemModel>
#include <QStringList>

#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "ui_devlist.h"

namespace {

constexpr int ColumnCount = 6;

const QColor OnlineColor(0, 0, 0);
const QColor OfflineColor(180, 180, 180);
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

// A cell of a device row, written before the model sees it; the name column
// carries the device icon.
QStandardItem *newCell(int column, const QIcon &icon, const QString &text, const QBrush &foreground)
{
    auto *cell = new QStandardItem(text);
    if (column == 0)
        cell->setIcon(icon);
    cell->setForeground(foreground);
    return cell;
}

} // namespace

DevList::DevList(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::DevList)
    , devs(Devs::instance())
    , connect(Connect::instance())
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
    setUpModel();

    QObject::connect(devs, SIGNAL(loadDevMsg(int)), this, SLOT(loadDev(int)));
    QObject::connect(ui->treeView, SIGNAL(customContextMenuRequested(const QPoint &)),
                     this, SLOT(openMenu(const QPoint &)));
    QObject::connect(ui->treeView, SIGNAL(pressed(const QModelIndex &)), this, SLOT(selectRow(const QModelIndex &)));
    QObject::connect(ui->treeView, SIGNAL(clickMsg()), this, SLOT(clickTreeView()));
    QObject::connect(connect, SIGNAL(cleanListMsg()), this, SLOT(cleanList()));
}

DevList::~DevList()
{
    delete ui;
}

void DevList::setUpModel()
{
    QItemSelectionModel *oldSelection = ui->treeView->selectionModel();
    QStandardItemModel *oldModel = model;
    model = new QStandardItemModel(ui->treeView);
    ui->treeView->setModel(model);
    // The view owns neither the old model nor its selection model any more;
    // dropping them keeps repeated clean-ups from piling them up.
    delete oldSelection;
    delete oldModel;

    model->setHorizontalHeaderLabels({QString(), tr("IP地址"), tr("信息源地址"), tr("MAC地址"), tr("软件版本"), tr("在线")});
    // Wide enough for "Device1000", a full dotted address with its port, a MAC
    // text and a long version, so that nothing an installer reads is elided.
    const int widths[ColumnCount - 1] = {125, 120, 160, 150, 170};
    for (int column = 0; column < ColumnCount - 1; ++column)
        ui->treeView->setColumnWidth(column, widths[column]);
}

void DevList::cleanList()
{
    setUpModel();
}

void DevList::loadDev(int row)
{
    const QList<Dev *> list = devs->getDevList();
    if (row < 0 || row >= list.size())
        return;
    const Dev *dev = list.at(row);
    QTreeView *view = ui->treeView;

    QItemSelection selection;
    const QModelIndexList selectedRows = view->selectionModel()->selectedRows();
    if (!selectedRows.isEmpty()) {
        QModelIndex selected = selectedRows.first();
        if (selected.parent().isValid())
            selected = selected.parent();
        selection.select(model->index(selected.row(), 0), model->index(selected.row(), model->columnCount() - 1));
    }

    // Only this row's cells are written, so only its expanded state can be
    // lost; scanning every row here would make a search over thousands of
    // devices (one redraw per device) quadratic.
    expanded.clear();
    const QModelIndex own = model->index(row, 0);
    if (view->isExpanded(own))
        expanded.append(own);

    const QString texts[ColumnCount] = {
        tr("设备") + QString::number(row + 1),
        dev->ip(),
        dev->addr.toString() + QLatin1Char(':') + QString::number(dev->port),
        dev->mac(),
        dev->version(),
        dev->online >= 1 ? tr("在线") : tr("不在线"),
    };
    const QBrush foreground(dev->online >= 1 ? OnlineColor : OfflineColor);

    if (row >= model->rowCount()) {
        // A new device: its row goes in whole and written, one change for the
        // view rather than one per cell.
        QList<QStandardItem *> cells;
        for (int column = 0; column < ColumnCount; ++column)
            cells << newCell(column, deviceIcon, texts[column], foreground);
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
                model->setItem(row, column, newCell(column, deviceIcon, texts[column], foreground));
                continue;
            }
            cell->setText(texts[column]);
            cell->setForeground(foreground);
            if (moved)
                cell->setBackground(MovedColor);
        }
        if (moved)
            fadeHighlight(row);
    }

    view->selectionModel()->select(selection, QItemSelectionModel::Select | QItemSelectionModel::Current);
    for (const QModelIndex &index : qAsConst(expanded))
        view->expand(index);
    deferRepaint();
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
    if (index.parent().isValid())
        emit selectChannelMsg(index.parent().row(), index.row());
    else
        emit selectRowMsg(index.row());
}

void DevList::openMenu(QPoint pos)
{
    emit openMenuMsg(pos);
}

void DevList::clickTreeView()
{
    emit clickTreeViewMsg();
}
