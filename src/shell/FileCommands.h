#pragma once

// The parameter-file commands of the main window's menus: back up the drive into a file,
// show a file, and write a file into the drive. They borrow the link from the status
// poller while they run.

namespace velmora {

class MessageService;
class TForm_Main;

class FileCommands {
public:
    FileCommands(TForm_Main &main, MessageService &messages) : main_(main), messages_(messages) {}

    // "Read(PC<-SERVO)": every group from the drive into a parameter file.
    void UpLoad1Click();
    // "Open": shows a parameter file.
    void OPEN1Click();
    // "Write(PC->SERVO)": a parameter file into the drive, through TForm_DownLoad.
    void Download1Click();
    // "Compare with Drive...": a parameter file beside the drive, to look at.
    void Compare1Click();

private:
    TForm_Main &main_;
    MessageService &messages_;
};

} // namespace velmora
