#pragma once
// A four-field IPv4 address entry: each field 0-255, a blank field counts as 0,
// and the whole control is blank when every field is.

#include <QWidget>
#include <array>
#include <cstdint>

class QLineEdit;

namespace varno::link {

class IpAddressEdit : public QWidget {
    Q_OBJECT
public:
    explicit IpAddressEdit(QWidget* parent = nullptr);

    bool isBlank() const;
    // The address, first field in the most significant byte.
    std::uint32_t address() const;
    void setAddress(std::uint32_t address);
    void clear();

    QLineEdit* field(int index) const { return m_fields[static_cast<std::size_t>(index)]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::array<QLineEdit*, 4> m_fields{};
    // The field just entered after three digits filled the one before it,
    // while nothing has been typed into it yet; -1 for none.
    int m_advancedTo = -1;
};

}  // namespace varno::link
