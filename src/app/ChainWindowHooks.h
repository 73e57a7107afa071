// ChainWindowHooks.h: how the chain window plugs into the main window, shared by the program and its tests.
// Chain work runs with the OpenGL view's context current and as GL work (a message it raises waits for the
// event loop instead of opening a nested one in the middle of a change); the close command goes to the main
// window's ShowShaderPluginChain; the main window shows and hides the chain window through its hook.
// The preset manager loads presets the same way, and the chain window's "Load/Manage Presets" brings it up.
// Values changed from outside (OSC, MIDI) show in the panel at once; a bar's context menu is the control
// bridge's; presets carry the modulators and tempo.
// GUI thread; the main window has been created (FormCreate succeeded) and outlives the chain window.
#pragma once

#include "app/ControlBridge.h"
#include "app/Form_Master.h"
#include "app/QtGLSurface.h"
#include "app/ViewGLScope.h"
#include "plugins/Form_spc.h"
#include "plugins/ParamPanel.h"
#include "plugins/uChainState.h"
#include "presets/Form_presets.h"

#include <functional>

inline void AttachChainWindow(TForm_Master& master, TForm_spc& chainWindow) {
    chainWindow.GLWork = [&master](const std::function<void()>& work) {
        const TViewGLScope scope(master.GLView());
        work();
    };
    chainWindow.ShowShaderPluginChain = [&master](bool visible) { master.ShowShaderPluginChain(visible); };
    master.ChainWindow = &chainWindow;
    master.OnPluginsReloaded = [&master, &chainWindow] {
        chainWindow.BuildPluginMenu(master.Settings.GroupPlugins);
        chainWindow.RefreshSlots(chainWindow.Chain.SelectedSlot, true);
    };
    if (TControlBridge* control = master.Control()) {
        control->ShowValues = [&chainWindow] { chainWindow.ParamPanel->ShowValues(); };
        chainWindow.ParamPanel->OnBarContextMenu = [control, &chainWindow](const TParamBarTarget& target,
                                                                           const QPoint& at) {
            control->BarMenu(target, at, &chainWindow);
        };
    }
}

inline void AttachPresetManager(TForm_Master& master, TForm_spc& chainWindow, TForm_presets& presets) {
    presets.GLWork = [&master](const std::function<void()>& work) {
        const TViewGLScope scope(master.GLView());
        work();
    };
    chainWindow.ShowPresetManager = [&presets] { presets.ShowManager(); };
    if (TControlBridge* control = master.Control()) {
        presets.AfterApply = [control](const std::string& path) { control->ApplyPresetExtras(path); };
        presets.AfterWrite = [control](const std::string& path) { control->WritePresetExtras(path); };
    }
}
