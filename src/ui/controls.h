// Every control class the windows are built from, so that code holding a
// window can use its members directly.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include "chart_view.h"
#include "combo_box.h"
#include "date_picker.h"
#include "edit_box.h"
#include "group_frame.h"
#include "image_button.h"
#include "radio_button.h"
#include "report_list.h"
#include "rollup_menu.h"
#include "table_grid.h"
#include "toolbar.h"
#include "transparent_label.h"
