#pragma once
// GDI+ declarations; they need the COM storage types that WIN32_LEAN_AND_MEAN leaves out.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
