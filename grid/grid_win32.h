// The grid's window: the "DATAGRID" class, its window procedure, painting and
// the window-system implementation of GridPlatform. Win32 only.
#pragma once

#include <windows.h>

#include "grid/data_grid.h"

LRESULT CALLBACK DataGridWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Makes the grid logic use the window system.
void InstallWin32GridPlatform();

// Off-screen surface: a client-sized bitmap in a memory device context.
void RemakeOffscreenSurface(HWND hwnd, DataGridRecord& record);
void ReleaseOffscreenSurface(DataGridRecord& record);
void ClearOffscreenSurface(HWND hwnd, const DataGridRecord& record);

// Drawing into the off-screen surface, and the copy to the screen.
void PaintCells(HWND hwnd);
void PaintHeaders(HWND hwnd);
void PaintGridTo(HWND hwnd, HDC target);
