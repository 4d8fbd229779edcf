// The main window's event handlers and the state kept between events. The
// handlers only put the work in order; the pipelines and the components do it.
#pragma once

#include "platform/ByteBuffer.h"
#include "platform/Text.h"
#include "ui/MainForm.h"

namespace bootlume {

// The one firmware image held between events; empty until the first drop.
extern ByteBuffer LoadedImage;

// The window and its controls exist, the window is not shown yet: registers
// the drop target, switches on files and prepares the work area.
void OnWindowCreated(MainForm& form);

// The window is about to go while its controls still exist.
void OnWindowDestroying(MainForm& form);

// A drop of files: `path` names one file, or several each followed by CR LF.
void OnGotFile(MainForm& form, const Text& path);

// "打开jpg图片": replaces the boot picture with a chosen JPEG.
void OnOpenPictureClicked(MainForm& form);

// "保存图片": writes the shown picture's bytes to "图片.jpg" in the chosen folder.
void OnSavePictureClicked(MainForm& form);

// "保存文件": writes the loaded image to "已修改.BIN" in the chosen folder.
void OnSaveImageClicked(MainForm& form);

// The end handler: releases the globals, once, after the event loop.
void ReleaseGlobals();

}  // namespace bootlume
