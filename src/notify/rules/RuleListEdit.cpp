#include "RuleListEdit.h"

#include "RuleText.h"

namespace {
const QString NotNumeric = QStringLiteral("Error Number must be numeric");
const QString Protected =
    QStringLiteral("9999 is a required system exclusion to prevent automatically emailing, "
                   "email errors");
} // namespace

QString RuleListEdit::add()
{
    if (isErrorList() && !RuleText::isNumeric(text))
        return NotNumeric;
    if (const int existing = int(entries.indexOf(text)); existing >= 0) {
        selected = existing;
        return {};
    }
    if (text.isEmpty())
        return {};
    entries.append(text);
    selected = int(entries.size()) - 1;
    return {};
}

QString RuleListEdit::update()
{
    if (isErrorList() && !RuleText::isNumeric(text))
        return NotNumeric;
    if (text.isEmpty() || selected < 0 || selected >= entries.size())
        return {};
    if (kind == ErrorExclude && entries[selected] == SystemExclusion)
        return Protected;
    entries.removeAt(selected);
    if (const int existing = int(entries.indexOf(text)); existing >= 0) {
        selected = existing;
        return {};
    }
    entries.append(text);
    selected = int(entries.size()) - 1;
    return {};
}

QString RuleListEdit::remove()
{
    if (selected < 0 || selected >= entries.size())
        return {};
    if (kind == ErrorExclude && entries[selected] == SystemExclusion)
        return Protected;
    if (text != entries[selected])
        return {};
    const int position = selected;
    entries.removeAt(position);
    if (entries.isEmpty()) {
        text.clear();
        selected = -1;
    } else {
        select(qMin(position, int(entries.size()) - 1));
    }
    return {};
}

void RuleListEdit::select(int index)
{
    if (index < 0 || index >= entries.size())
        return;
    selected = index;
    text = entries[index];
}

RuleListStates ListStates(int includeCount, int excludeCount, int threshold)
{
    const RuleListSideState all;
    const RuleListSideState none{false, false, false, false, false};
    const RuleListSideState onlyDelete{false, false, false, true, true};
    if (includeCount > 0 && excludeCount > threshold)
        return {onlyDelete, onlyDelete};
    if (includeCount == 0 && excludeCount <= threshold)
        return {all, all};
    if (includeCount > 0)
        return {all, none};
    return {none, all};
}
