#include "app/auxiliary_commands.h"
#include "app/change_notice.h"
#include "app/entry_list_model.h"
#include "app/jpeg_image.h"
#include "app/list_sort.h"
#include "app/rating_colours.h"
#include "app/t_main_form.h"
#include "knowledge/ratings.h"

#include <QAction>
#include <QButtonGroup>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace qb {

namespace {

// A picture shipped with the tool, decoded by libjpeg; an empty pixmap when it is missing.
QPixmap Picture(const QString& name) {
    QFile file(QStringLiteral(":/pictures/") + name);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.readAll();
    return QPixmap::fromImage(
        DecodeJpeg(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
}

// A toolbar button showing its command's action: caption under the icon, the action's tooltip.
QToolButton* ToolButton(QToolBar* bar, const char* name, QAction* action) {
    auto* button = new QToolButton(bar);
    button->setObjectName(QLatin1String(name));
    button->setDefaultAction(action);
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setMinimumSize(56, 52);
    button->setAccessibleName(action->text().trimmed());
    button->setAccessibleDescription(action->toolTip());
    bar->addWidget(button);
    return button;
}

// A button of the column beside the list, showing its command's action. The caption carries its Alt-letter
// mnemonic ("&Add"); the name read out is the caption itself.
QPushButton* ColumnButton(QWidget* parent, QVBoxLayout* layout, const char* name, const QString& caption,
                          const QString& hint, QAction* action) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(hint);
    button->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
    button->setMinimumSize(54, 25);
    layout->addWidget(button);
    MainFormActions::Bind(button, action);
    return button;
}

// Draws each cell as usual, then the grid lines of a report list at its right and bottom edges. (A style
// sheet for the items could draw them too, but would then paint over the rating colours.)
class GridLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(QColor(0xDD, 0xE1, 0xE6));
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(0, 2);
    }
};

} // namespace

void TMainForm::BuildLayout() {
    actions_ = std::make_unique<MainFormActions>(this);
    ConnectCommands();
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(BuildTitlePanel());

    auto* body = new QSplitter(Qt::Horizontal, central);
    body->setObjectName(QStringLiteral("SplitterSide"));
    body->setHandleWidth(3);
    body->addWidget(BuildLeftPanel());
    sideSplitter_ = body;

    auto* right = new QSplitter(Qt::Vertical, body);
    right->setObjectName(QStringLiteral("SplitterList"));
    right->setHandleWidth(3);
    listSplitter_ = right;
    right->addWidget(BuildListPanel());
    right->addWidget(BuildInfoPane(right));
    // The list takes the larger share as the window grows: it is what the user works on.
    right->setSizes({300, 200});
    right->setStretchFactor(0, 3);
    right->setStretchFactor(1, 2);
    body->addWidget(right);
    body->setSizes({161, 617});
    body->setStretchFactor(1, 1);
    layout->addWidget(body, 1);
    setCentralWidget(central);
    BuildPopupMenu();

    // The rows shown, the total, and the changes not applied yet.
    statusBar()->setObjectName(QStringLiteral("StatusBarMain"));
    statusRows_ = new QLabel(this);
    statusRows_->setObjectName(QStringLiteral("LabelRowsShown"));
    statusPending_ = new QLabel(this);
    statusPending_->setObjectName(QStringLiteral("LabelPending"));
    statusRows_->setAccessibleName(QStringLiteral("Entries shown"));
    statusPending_->setAccessibleName(QStringLiteral("Changes not applied"));
    statusBar()->addWidget(statusRows_);
    statusBar()->addWidget(statusPending_);
}

QWidget* TMainForm::BuildTitlePanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("PanelTitle"));
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, Qt::white);
    panel->setPalette(palette);
    panel->setFixedHeight(57);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(4, 1, 4, 1);

    auto* logo = new QLabel(panel);
    logo->setObjectName(QStringLiteral("ImageLogo"));
    logo->setFixedSize(56, 54);
    logo->setPixmap(Picture(QStringLiteral("logo.jpg")));
    logo->setAccessibleName(QStringLiteral("Quillbrook"));
    logo->installEventFilter(this);
    layout->addWidget(logo);

    auto* name = new QLabel(QStringLiteral("Quillbrook"), panel);
    name->setObjectName(QStringLiteral("LabelProduct"));
    QFont font = name->font();
    font.setPointSizeF(font.pointSizeF() * 2.0);
    font.setBold(true);
    name->setFont(font);
    QPalette namePalette = name->palette();
    namePalette.setColor(QPalette::WindowText, QColor(0x1F, 0x3A, 0x68));
    name->setPalette(namePalette);
    layout->addWidget(name);
    layout->addStretch(1);

    auto* bar = new QToolBar(panel);
    bar->setObjectName(QStringLiteral("ToolBarMain"));
    bar->setIconSize(QSize(32, 32));
    bar->setStyleSheet(QStringLiteral("QToolBar { border: none; background: white; }"));
    const MainFormActions& actions = *actions_;
    ToolButton(bar, "ToolButtonApply", actions[Command::Apply]);
    ToolButton(bar, "ToolButtonRefresh", actions[Command::Refresh]);
    ToolButton(bar, "ToolButtonBackup", actions[Command::Backup]);
    bar->addSeparator();
    ToolButton(bar, "ToolButtonHelp", actions[Command::Help]);
    ToolButton(bar, "ToolButtonAbout", actions[Command::About]);
    layout->addWidget(bar);
    return panel;
}

QWidget* TMainForm::BuildLeftPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("PanelLeft"));
    panel->setMinimumWidth(150);
    panel->installEventFilter(this);
    leftPanel_ = panel;
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(4, 4, 2, 4);

    treeViewMain_ = new QTreeWidget(panel);
    treeViewMain_->setObjectName(QStringLiteral("TreeViewMain"));
    treeViewMain_->setHeaderHidden(true);
    treeViewMain_->setRootIsDecorated(false);
    treeViewMain_->setIndentation(12);
    treeViewMain_->setSelectionBehavior(QAbstractItemView::SelectRows);
    treeViewMain_->setIconSize(QSize(16, 16));
    treeViewMain_->setAccessibleName(QStringLiteral("Startup locations"));
    std::vector<QTreeWidgetItem*> nodes;
    for (const auto& info : TreeNodes()) {
        const auto parent = std::ranges::find(TreeNodes(), info.parent, &TreeNodeInfo::name);
        QTreeWidgetItem* item =
            parent == TreeNodes().end()
                ? new QTreeWidgetItem(treeViewMain_)
                : new QTreeWidgetItem(nodes[static_cast<std::size_t>(parent - TreeNodes().begin())]);
        item->setText(0, QString::fromUtf8(info.caption.data(), static_cast<qsizetype>(info.caption.size())));
        item->setData(0, kPositionRole, static_cast<int>(nodes.size()));
        const Glyph glyph = NodeGlyph(info.kind);
        item->setIcon(0, DrawnIcon(glyph, 16));
        item->setHidden(!NodeShown(info.name, services_.system.Version()));
        nodes.push_back(item);
    }
    treeViewMain_->viewport()->installEventFilter(this);
    // Moving through the tree with the keyboard filters as a click does.
    connect(treeViewMain_, &QTreeWidget::currentItemChanged, this, [this] { TreeSelectionMoved(); });
    // On a screen too short for the whole tree it scrolls: its scroll bar takes room beside the labels, not
    // from them.
    connect(treeViewMain_->verticalScrollBar(), &QScrollBar::rangeChanged, this, [this](int min, int max) {
        const int labels = static_cast<const QAbstractItemView*>(treeViewMain_)->sizeHintForColumn(0) +
                           2 * treeViewMain_->frameWidth();
        const int tree = labels + (max > min ? treeViewMain_->verticalScrollBar()->sizeHint().width() : 0);
        treeViewMain_->setMinimumWidth(tree);
        const QMargins margins = leftPanel_->layout()->contentsMargins();
        leftPanel_->setMinimumWidth(std::max(150, tree + margins.left() + margins.right()));
    });
    // All Programs has no fold button, and folded it would hide every place: Left or a double click leaves
    // it open.
    connect(treeViewMain_, &QTreeWidget::itemCollapsed, this, [](QTreeWidgetItem* item) {
        if (item->parent() == nullptr) {
            item->setExpanded(true);
        }
    });
    layout->addWidget(treeViewMain_, 1);

    auto* group = new QGroupBox(QStringLiteral("Rating"), panel);
    group->setObjectName(QStringLiteral("RadioButtonGroup"));
    group->setAccessibleName(QStringLiteral("Rating"));
    ratingGroup_ = group;
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(2);
    ratingButtons_ = new QButtonGroup(group);
    const auto items = RatingFilterItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
        auto* radio = new QRadioButton(
            QString::fromUtf8(items[i].data(), static_cast<qsizetype>(items[i].size())), group);
        radio->setObjectName(QStringLiteral("RadioRating%1").arg(i));
        radio->setAccessibleName(radio->text());
        ratingButtons_->addButton(radio, static_cast<int>(i));
        grid->addWidget(radio, static_cast<int>(i), 0);
        if (i > 0) {
            auto* swatch = new QLabel(group);
            swatch->setObjectName(QStringLiteral("ShapeRating%1").arg(i));
            swatch->setFixedSize(17, 17);
            swatch->setAccessibleName(QStringLiteral("Colour of ") + radio->text());
            const Rgb colour = RatingColour(static_cast<Rating>(i));
            swatch->setStyleSheet(
                QStringLiteral("background-color: rgb(%1,%2,%3); border: 1px solid #9aa4b2;")
                    .arg(colour.red)
                    .arg(colour.green)
                    .arg(colour.blue));
            grid->addWidget(swatch, static_cast<int>(i), 1);
        }
    }
    ratingButtons_->button(0)->setChecked(true);
    connect(ratingButtons_, &QButtonGroup::idClicked, this, [this](int) { RadioButtonGroupClick(); });
    layout->addWidget(group);

    for (const auto& [name, file, hint] :
         {std::tuple{"ImageDonate", "donate.jpg",
                     "Like Quillbrook? Support its development with a donation."},
          std::tuple{"ImageTell", "tell.jpg", "Tell a friend about Quillbrook"}}) {
        auto* picture = new QLabel(panel);
        picture->setObjectName(QLatin1String(name));
        picture->setPixmap(Picture(QLatin1String(file)));
        picture->setToolTip(QLatin1String(hint));
        picture->setAccessibleName(QLatin1String(hint));
        sideTiles_.push_back(picture);
        picture->setCursor(Qt::PointingHandCursor);
        picture->setAlignment(Qt::AlignCenter);
        picture->installEventFilter(this);
        layout->addWidget(picture);
    }
    return panel;
}

QWidget* TMainForm::BuildListPanel() {
    auto* panel = new QWidget(this);
    auto* outer = new QVBoxLayout(panel);
    outer->setContentsMargins(0, 0, 4, 0);
    outer->setSpacing(4);
    changeNotice_ = new ChangeNotice(panel);
    connect(changeNotice_, &ChangeNotice::ShowOnlyToggled, this, &TMainForm::ButtonShowChangesClick);
    connect(changeNotice_, &ChangeNotice::DisableReturnedClicked, this,
            &TMainForm::ButtonDisableReturnedClick);
    connect(changeNotice_, &ChangeNotice::AcceptClicked, this, &TMainForm::ButtonAcceptChangesClick);
    connect(changeNotice_, &ChangeNotice::ShowRemovedClicked, this, &TMainForm::ButtonShowRemovedClick);
    outer->addWidget(changeNotice_);
    auto* layout = new QHBoxLayout();
    layout->setContentsMargins(0, 0, 0, 0);
    outer->addLayout(layout, 1);

    model_ = new EntryListModel(icons_, this);
    filter_ = new EntryListFilter(this);
    filter_->setSourceModel(model_);
    listViewFix_ = new QTreeView(panel);
    listViewFix_->setObjectName(QStringLiteral("ListViewFix"));
    listViewFix_->setModel(filter_);
    listViewFix_->setRootIsDecorated(false);
    listViewFix_->setItemsExpandable(false);
    listViewFix_->setUniformRowHeights(true);
    listViewFix_->setAllColumnsShowFocus(true);
    listViewFix_->setSelectionMode(QAbstractItemView::SingleSelection);
    listViewFix_->setSelectionBehavior(QAbstractItemView::SelectRows);
    listViewFix_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listViewFix_->setToolTip(QStringLiteral("Right click for more operation."));
    listViewFix_->setAccessibleName(QStringLiteral("Startup entries"));
    listViewFix_->installEventFilter(this); // the keys of commands that are not available now
    actions_->ScopeToList(listViewFix_);
    listViewFix_->viewport()->installEventFilter(this); // tooltips of cut-off cells; width changes
    listViewFix_->setContextMenuPolicy(Qt::CustomContextMenu);
    listViewFix_->setItemDelegate(new GridLineDelegate(listViewFix_));
    QFont bold = listViewFix_->font();
    bold.setBold(true);
    model_->SetBoldFont(bold);
    QHeaderView* header = listViewFix_->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setStretchLastSection(false);
    for (int column = 0; column < kColumnCount; ++column) {
        header->resizeSection(column, kListColumns[static_cast<std::size_t>(column)].initialWidth);
    }
    // A right click on the titles offers the columns to show.
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    BuildColumnMenu();
    connect(header, &QWidget::customContextMenuRequested, this, &TMainForm::ShowColumnMenu);
    connect(header, &QHeaderView::sectionResized, this, [this] {
        if (!fitting_) {
            userColumns_ = true; // the user's widths stand from now on
        }
    });
    ResetColumnTitles();
    connect(header, &QHeaderView::sectionClicked, this, &TMainForm::ListViewFixColumnClick);
    connect(listViewFix_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        ListViewFixSelectItem();
        ListViewFixChange();
    });
    model_->OnCheckToggled([this](int row, bool checked) { CheckBoxChanged(row, checked); });
    connect(listViewFix_, &QTreeView::doubleClicked, this, [this] { ListViewFixDblClick(); });
    connect(listViewFix_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { popupMenu_->popup(listViewFix_->viewport()->mapToGlobal(pos)); });
    layout->addWidget(listViewFix_, 1);

    auto* column = new QVBoxLayout();
    column->setSpacing(4);
    const MainFormActions& actions = *actions_;
    ColumnButton(panel, column, "ButtonAdd", QStringLiteral("&Add"), QStringLiteral("Add entry..."),
                 actions[Command::Add]);
    ColumnButton(panel, column, "ButtonEdit", QStringLiteral("&Edit"), QStringLiteral("Edit entry..."),
                 actions[Command::Edit]);
    ColumnButton(panel, column, "ButtonDelete", QStringLiteral("&Delete"), QStringLiteral("Delete entry"),
                 actions[Command::Delete]);
    ColumnButton(panel, column, "ButtonProperties", QStringLiteral("P&roperties"),
                 QStringLiteral("Show properties of the program"), actions[Command::Properties]);
    ColumnButton(panel, column, "ButtonBrowse", QStringLiteral("&Open"),
                 QStringLiteral("Open program folder"), actions[Command::Browse]);
    ColumnButton(panel, column, "SnButtonRun", QStringLiteral("&Start"), QString(), actions[Command::Run]);
    ColumnButton(panel, column, "SnButtonClose", QStringLiteral("S&top"), QString(), actions[Command::Close]);
    column->addStretch(1);
    layout->addLayout(column);
    return panel;
}

void TMainForm::BuildPopupMenu() {
    popupMenu_ = new QMenu(this);
    popupMenu_->setObjectName(QStringLiteral("SnPopupMenuStartup"));
    const MainFormActions& actions = *actions_;
    popupMenu_->addAction(actions[Command::Undo]);
    popupMenu_->addAction(actions[Command::Add]);
    popupMenu_->addAction(actions[Command::Edit]);
    popupMenu_->addSeparator();
    popupMenu_->addAction(actions[Command::Delete]);
    popupMenu_->addAction(actions[Command::DeleteInvalid]);
    popupMenu_->addAction(actions[Command::DeleteHarmful]);
    popupMenu_->addAction(actions[Command::DeleteDisabled]);
    popupMenu_->addSeparator();
    popupMenu_->addAction(actions[Command::Properties]);
    popupMenu_->addAction(actions[Command::Search]);
    popupMenu_->addSeparator();
    popupMenu_->addAction(actions[Command::Browse]);
    popupMenu_->addAction(actions[Command::Run]);
    popupMenu_->addAction(actions[Command::Close]);
}

void TMainForm::ConnectCommands() {
    const std::pair<Command, void (TMainForm::*)()> handlers[] = {
        {Command::Add, &TMainForm::ButtonAddClick},
        {Command::Edit, &TMainForm::ButtonEditClick},
        {Command::Delete, &TMainForm::ButtonDeleteClick},
        {Command::Undo, &TMainForm::MenuUndoClick},
        {Command::DeleteInvalid, &TMainForm::MenuDeleteInvaildClick},
        {Command::DeleteHarmful, &TMainForm::MenuDeleteHarmfulClick},
        {Command::DeleteDisabled, &TMainForm::MenuDeleteDisabledClick},
        {Command::Properties, &TMainForm::ButtonPropertiesClick},
        {Command::Search, &TMainForm::MenuSearchClick},
        {Command::Browse, &TMainForm::ButtonBrowseClick},
        {Command::Run, &TMainForm::SnButtonRunClick},
        {Command::Close, &TMainForm::SnButtonCloseClick},
        {Command::Apply, &TMainForm::ToolButtonApplyClick},
        {Command::Refresh, &TMainForm::ToolButtonRefreshClick},
        {Command::Backup, &TMainForm::ToolButtonBackupClick},
        {Command::Help, &TMainForm::ToolButtonHelpClick},
        {Command::About, &TMainForm::ToolButtonAboutClick},
        {Command::ToggleCheck, &TMainForm::ToggleCurrentCheck},
        {Command::RowMenu, &TMainForm::ShowRowMenu},
    };
    static_assert(std::size(handlers) == kCommandCount, "every command has its handler");
    for (const auto& [command, handler] : handlers) {
        connect((*actions_)[command], &QAction::triggered, this, handler);
    }
}

} // namespace qb
