#include "frmFind.h"

#include "AuditView.h"
#include "HelpTopics.h"
#include "ModelessWindow.h"
#include "UiHooks.h"
#include "ViewSearch.h"
#include "WidgetHooks.h"
#include "frmView.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <optional>

frmFind::frmFind(QTableView* grid, AuditView& view, QWidget* parent)
    : QDialog(parent), m_grid(grid), m_view(view)
{
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(QStringLiteral("Find"));
    setModal(false);

    m_txt_Find = new QLineEdit(this);
    m_txt_Find->setObjectName(QStringLiteral("txt_Find"));
    m_txt_Find->setMinimumWidth(m_txt_Find->fontMetrics().horizontalAdvance(QLatin1Char('n')) * 32);
    m_lbl_Find = new QLabel(QStringLiteral("Find what:"), this);
    m_lbl_Find->setObjectName(QStringLiteral("lbl_Find"));
    m_lbl_Find->setBuddy(m_txt_Find);
    m_chk_MatchCase = new QCheckBox(QStringLiteral("Match &case"), this);
    m_chk_MatchCase->setObjectName(QStringLiteral("chk_MatchCase"));
    m_chk_WholeWord = new QCheckBox(QStringLiteral("Match &whole word only"), this);
    m_chk_WholeWord->setObjectName(QStringLiteral("chk_WholeWord"));
    m_cmd_Find = new QPushButton(QStringLiteral("&Find Next"), this);
    m_cmd_Find->setObjectName(QStringLiteral("cmd_Find"));
    m_cmd_Find->setDefault(true);
    m_cmd_Find->setAutoDefault(true);
    m_cmd_Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cmd_Cancel->setObjectName(QStringLiteral("cmd_Cancel"));
    m_cmd_Cancel->setAutoDefault(false);
    m_prgSearch = new QProgressBar(this);
    m_prgSearch->setObjectName(QStringLiteral("prgSearch"));
    m_prgSearch->setFormat(QStringLiteral("Searching... %p%"));
    m_prgSearch->hide();

    auto* layout = new QGridLayout(this);
    layout->addWidget(m_lbl_Find, 0, 0);
    layout->addWidget(m_txt_Find, 0, 1);
    layout->addWidget(m_cmd_Find, 0, 2);
    layout->addWidget(m_chk_MatchCase, 1, 0, 1, 2);
    layout->addWidget(m_cmd_Cancel, 1, 2);
    layout->addWidget(m_chk_WholeWord, 2, 0, 1, 2);
    layout->addWidget(m_prgSearch, 3, 0, 1, 3);
    layout->setColumnStretch(1, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_txt_Find, &QLineEdit::textChanged, this, &frmFind::txt_Find_Change);
    connect(m_cmd_Find, &QPushButton::clicked, this, &frmFind::cmd_Find_Click);
    connect(m_cmd_Cancel, &QPushButton::clicked, this, &frmFind::cmd_Cancel_Click);
    InstallHelpKey(this, QStringLiteral("find.html"));

    Form_Load();
}

frmFind* frmFind::showFor(QWidget* viewer)
{
    auto* view = qobject_cast<frmView*>(viewer);
    if (!view)
        return nullptr; // it works on the viewer's grid only
    return ShowModelessWindow<frmFind>(
        view, [view] { return new frmFind(view->grid(), AuditView::instance(), view); });
}

void frmFind::Form_Load()
{
    m_cmd_Find->setEnabled(false);
    m_txt_Find->setFocus();
}

void frmFind::txt_Find_Change()
{
    m_cmd_Find->setEnabled(!m_searching && !ViewSearch::searchText(m_txt_Find->text()).isEmpty());
}

void frmFind::cmd_Find_Click()
{
    if (m_searching || ViewSearch::searchText(m_txt_Find->text()).isEmpty())
        return;
    const QModelIndex active = m_grid->currentIndex();
    std::optional<BusyCursor> busy(std::in_place);
    ViewSearch search(
        m_view, {m_txt_Find->text(), m_chk_MatchCase->isChecked(), m_chk_WholeWord->isChecked()},
        active.isValid() ? active.row() : -1);

    // The window stays live while the search runs: Cancel and Escape stop it;
    // a change of the grid's rows (a refresh, a delete) ends it too.
    m_searching = true;
    m_stop = false;
    m_cmd_Find->setEnabled(false);
    QPointer<frmFind> self(this);
    bool viewChanged = false;
    const auto stale = [&viewChanged] { viewChanged = true; };
    const QMetaObject::Connection onReset = connect(&m_view, &AuditView::aboutToReset, this, stale);
    const QMetaObject::Connection onRemove =
        connect(&m_view, &AuditView::rowAboutToBeRemoved, this, stale);
    QElapsedTimer elapsed;
    elapsed.start();
    ViewSearch::State state = search.state();
    while ((state = search.next()) == ViewSearch::State::Searching) {
        if (elapsed.elapsed() >= QuietMs && !m_prgSearch->isVisible()) {
            m_prgSearch->setRange(0, search.rowsToSearch());
            m_prgSearch->show();
        }
        m_prgSearch->setValue(search.searchedRows());
        QCoreApplication::processEvents();
        if (!self)
            return;
        if (m_stop || viewChanged)
            break;
    }
    disconnect(onReset);
    disconnect(onRemove);
    m_prgSearch->hide();
    m_searching = false;
    txt_Find_Change();
    busy.reset();

    if (state == ViewSearch::State::Found && !viewChanged) {
        showHit(search.foundRow(), search.foundColumn());
    } else if (state == ViewSearch::State::NotFound) {
        MakeNotTopmost(this);
        ShowMessage(QStringLiteral("Finished searching"), MsgButtons::Ok, MsgIcon::Information);
        MakeTopmost(this);
    } else if (state == ViewSearch::State::Failed) {
        ShowMessage(QStringLiteral("The entries could not be searched.\n\nError %1 - %2")
                        .arg(search.error().number)
                        .arg(search.error().description),
                    MsgButtons::Ok, MsgIcon::Exclamation);
    }
}

void frmFind::showHit(int row, int column)
{
    QAbstractItemModel* model = m_grid->model();
    const QModelIndex index = model->index(row, column);
    if (!index.isValid())
        return;
    m_grid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
    m_grid->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void frmFind::cmd_Cancel_Click()
{
    if (m_searching) {
        m_stop = true;
        return;
    }
    close();
}

void frmFind::reject()
{
    cmd_Cancel_Click();
}

void frmFind::closeEvent(QCloseEvent* event)
{
    // Closing while a search runs stops the search first; the window stays.
    if (m_searching) {
        m_stop = true;
        event->ignore();
        return;
    }
    // Not QDialog's own close handling, which would come back here through reject().
    QWidget::closeEvent(event);
}
