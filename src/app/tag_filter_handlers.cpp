// The "Filtrage ID" group: entry of the tag identifier range.

#include <QLineEdit>

#include "app/main_window.h"
#include "decode/tag_filter_rules.h"
#include "ui/alerts.h"

namespace varno::app {

namespace {

// What tells the two bounds apart.
struct BoundWiring {
    const decode::BoundSide* side;
    std::string CVARNODlg::*text;
    std::uint32_t CVARNODlg::*value;
    int otherEdit;  // where the focus goes once six digits are typed
    void (CVARNODlg::*left)();
};

const BoundWiring kLow{&decode::kLowBound, &CVARNODlg::filterLowText, &CVARNODlg::filterLow, idc::FilterHigh,
                       &CVARNODlg::OnLowLeft};
const BoundWiring kHigh{&decode::kHighBound, &CVARNODlg::filterHighText, &CVARNODlg::filterHigh, idc::FilterLow,
                        &CVARNODlg::OnHighLeft};

void showBoundMessage(CVARNODlg* window)
{
    ui::alert(window, QString::fromUtf8("Valeur de l'identifiant interdite. Rentrez une valeur héxadecimal."));
}

}  // namespace

void CVARNODlg::OnLowChanged()
{
    boundChanged(true);
}

void CVARNODlg::OnHighChanged()
{
    boundChanged(false);
}

void CVARNODlg::OnLowLeft()
{
    boundLeft(true);
}

void CVARNODlg::OnHighLeft()
{
    boundLeft(false);
}

void CVARNODlg::boundChanged(bool low)
{
    const BoundWiring& bound = low ? kLow : kHigh;
    UpdateData(true);
    // Any edit of a bound switches the filter off; the operator ticks it again.
    filterOn = 0;
    const decode::TypedBound typed = decode::checkTypedBound(this->*bound.text, *bound.side);
    if (typed.rejected) {
        // The message runs an event loop in which frames are handled, and each
        // reads the controls back: let them hold the filter switched off.
        UpdateData(false);
        showBoundMessage(this);
        this->*bound.value = bound.side->fallbackValue;
    }
    this->*bound.text = typed.text;
    UpdateData(false);

    if (typed.complete) {
        // Six digits typed: on to the other bound, its text selected for
        // overtyping. Leaving this edit normalises it at once.
        QLineEdit* next = edit(bound.otherEdit);
        const int leaves = m_boundLeaves;
        next->setFocus(Qt::OtherFocusReason);
        // An inactive window moves its focus without a focus-out: leave by hand.
        if (m_boundLeaves == leaves)
            (this->*bound.left)();
        next->selectAll();
    }
}

void CVARNODlg::boundLeft(bool low)
{
    ++m_boundLeaves;

    const BoundWiring& bound = low ? kLow : kHigh;
    UpdateData(true);
    const decode::LeftBound left = decode::normaliseLeftBound(this->*bound.text, *bound.side, low ? filterHigh : filterLow);
    if (left.rejected)
        showBoundMessage(this);
    this->*bound.text = left.text;
    this->*bound.value = left.value;
    UpdateData(false);
}

}  // namespace varno::app
