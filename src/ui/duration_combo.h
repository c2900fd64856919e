// The age selector: a drop-down list whose items carry their string
// resource number as item data.
#pragma once

#include "framework/framework.h"

class CComboBoxPlus : public fw::CComboBox {
 public:
  // Selects the "Now" item; index 0 and false when there is none.
  bool SelectDefault();
};

class CDurationCombo : public CComboBoxPlus {
 public:
  // Empties the control and adds the five age items in order.
  bool FillItems();
};
