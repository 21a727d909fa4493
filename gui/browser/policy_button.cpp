// The policy button: shows the policy document in a modal viewer window.
#include "gui/browser/Grade_i_public_hospital.h"
#include "gui/windows/Form_emp.h"

void TForm_grade_hospital::RzBitBtn1Click() {
  if (Form2) return;  // one viewer at a time
  // A control that cannot be created throws here: no viewer, Form2 stays empty.
  Form2 = new TForm2(nullptr);
  Form2->exec();
  // An ordinary close has emptied the reference and the window frees itself.
  // A modal showing that ended without a close leaves it to be freed here.
  if (TForm2* left = Form2) {
    Form2 = nullptr;
    delete left;
  }
}
