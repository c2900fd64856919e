// The messages between the workers and the main dialog. All are posted,
// never sent, and handled in posting order on the dialog's thread.
#pragma once

#include "framework/framework.h"

// wParam 0.
constexpr fw::UINT WM_REMOVAL_FINISHED = fw::WM_USER + 500;
// wParam: selected phantoms still to remove.
constexpr fw::UINT WM_REMOVAL_PROGRESS = fw::WM_USER + 501;
// wParam: the run's system error code, 0 for success.
constexpr fw::UINT WM_IMAGE_FINISHED = fw::WM_USER + 600;
// wParam: percentage done.
constexpr fw::UINT WM_IMAGE_PROGRESS = fw::WM_USER + 601;
// To the update-check thread, as a thread message, once.
constexpr fw::UINT WM_UPDATE_CHECK = fw::WM_USER + 700;
// From the update-check thread when a newer version is listed.
constexpr fw::UINT WM_UPDATE_AVAILABLE = fw::WM_USER + 701;
// wParam: the run's system error code, 0 for success.
constexpr fw::UINT WM_SPEED_FINISHED = fw::WM_USER + 800;
// wParam: percentage done.
constexpr fw::UINT WM_SPEED_PROGRESS = fw::WM_USER + 801;
// wParam: a heap text of the rate; the handler owns and deletes it.
constexpr fw::UINT WM_SPEED_READ_RATE = fw::WM_USER + 802;
constexpr fw::UINT WM_SPEED_WRITE_RATE = fw::WM_USER + 803;
