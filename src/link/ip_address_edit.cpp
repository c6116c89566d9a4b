#include "link/ip_address_edit.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace varno::link {

IpAddressEdit::IpAddressEdit(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* validator = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), this);
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (i > 0)
            layout->addWidget(new QLabel(QStringLiteral("."), this));
        auto* field = new QLineEdit(this);
        field->setValidator(validator);
        field->setAlignment(Qt::AlignCenter);
        field->setObjectName(QStringLiteral("field%1").arg(i));
        field->installEventFilter(this);
        layout->addWidget(field, 1);
        m_fields[i] = field;
        // Three digits typed: on to the next field, as such controls do.
        connect(field, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            m_advancedTo = -1;
            if (text.size() == 3 && i + 1 < m_fields.size()) {
                m_fields[i + 1]->setFocus();
                m_fields[i + 1]->selectAll();
                m_advancedTo = static_cast<int>(i + 1);
            }
        });
    }
    setFocusProxy(m_fields[0]);
}

bool IpAddressEdit::isBlank() const
{
    for (auto* field : m_fields) {
        if (!field->text().isEmpty())
            return false;
    }
    return true;
}

std::uint32_t IpAddressEdit::address() const
{
    std::uint32_t address = 0;
    for (auto* field : m_fields)
        address = (address << 8) | static_cast<std::uint32_t>(std::min(field->text().toInt(), 255));
    return address;
}

void IpAddressEdit::setAddress(std::uint32_t address)
{
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        m_fields[i]->setText(QString::number((address >> (24 - 8 * i)) & 0xFF));
}

void IpAddressEdit::clear()
{
    for (auto* field : m_fields)
        field->clear();
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event)
{
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field == nullptr)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::FocusOut) {
        if (field->text().toInt() > 255)
            field->setText(QStringLiteral("255"));  // a field holds a byte
        if (m_advancedTo >= 0 && field == m_fields[static_cast<std::size_t>(m_advancedTo)])
            m_advancedTo = -1;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Period || key == Qt::Key_Comma) {
            // The separator of a full field that moved on by itself: the
            // operator is already where the dot would take them.
            if (m_advancedTo >= 0 && field == m_fields[static_cast<std::size_t>(m_advancedTo)]) {
                m_advancedTo = -1;
                return true;
            }
            for (std::size_t i = 0; i + 1 < m_fields.size(); ++i) {
                if (m_fields[i] == field) {
                    m_fields[i + 1]->setFocus();
                    m_fields[i + 1]->selectAll();
                }
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace varno::link
