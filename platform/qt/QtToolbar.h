#pragma once

#include "Toolbar.h"

#include <QFrame>

class QToolButton;

class QtToolbar : public QFrame
{
    Q_OBJECT

public:
    explicit QtToolbar(QWidget *parent = nullptr);
    QToolButton *addButton(const ToolbarButton &button, const QPixmap &picture, QSize size);

signals:
    void buttonClick(const ToolbarButton &button);
};
