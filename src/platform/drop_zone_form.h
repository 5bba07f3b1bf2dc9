// The drop zone: the program's main form, which receives what is handed to the program.
#pragma once

#include <QWidget>

namespace pxh {

class TDropZoneForm : public QWidget {
    Q_OBJECT
public:
    explicit TDropZoneForm(QWidget* AParent = nullptr);

protected:
    void closeEvent(QCloseEvent* AEvent) override;
};

} // namespace pxh
