#include "modem/modem_module.h"

namespace rw::modem {

ComPortForm::ComPortForm(int& comNumber)
    : ui::Form("ComPortForm", "Initialize hardware"), Label2(add<ui::Label>("Label2")),
      Frame1(add<ui::Frame>("Frame1")), SaveAsDefault(add<ui::CheckBox>("SaveAsDefault")),
      ComPort(add<ui::ComboBox>("ComPort")), OKCommand(add<ui::Button>("OKCommand")),
      Cancel(add<ui::Button>("Cancel")), comNumber_(comNumber) {
    setSize(300, 170);
    Label2.setCaption("COM port settings :");
    Label2.setGeometry(16, 12, 200, 18);
    Frame1.setGeometry(16, 34, 268, 78);
    SaveAsDefault.setCaption("Save  as default");
    SaveAsDefault.setContainer(&Frame1);
    SaveAsDefault.setGeometry(32, 50, 150, 20);
    SaveAsDefault.setValue(1);
    ComPort.setEditable(true);
    ComPort.setContainer(&Frame1);
    ComPort.setGeometry(32, 78, 120, 22);
    OKCommand.setCaption("OK");
    OKCommand.setGeometry(64, 124, 80, 28);
    Cancel.setCaption("Cancel");
    Cancel.setGeometry(156, 124, 80, 28);

    // Only the four ports the hardware offers are accepted; anything else leaves the
    // dialog up. The dialog stays shown on OK: the caller hides it.
    OKCommand.onClick = [this] {
        static const char* const names[] = {"COM1", "COM2", "COM3", "COM4"};
        for (int i = 0; i < 4; ++i)
            if (ComPort.text() == names[i]) comNumber_ = i + 1;
    };
    Cancel.onClick = [this] {
        comNumber_ = kDialogCancelled;
        hide();
    };
}

void ComPortForm::closedByFrame() {
    Cancel.click();
}

} // namespace rw::modem
