#include "screenshot.h"

#include <windows.h>

#include <vector>

namespace gui_driver {

namespace {

const WORD kBitsPerPixel = 24;

// Rows of a bitmap are padded to whole 32-bit words.
DWORD RowBytes(LONG width) { return ((width * kBitsPerPixel + 31) / 32) * 4; }

// Copies the screen into a device-independent bottom-up bitmap; empty when a step failed.
std::vector<BYTE> CaptureScreen(BITMAPINFOHEADER* header) {
  int width = GetSystemMetrics(SM_CXSCREEN);
  int height = GetSystemMetrics(SM_CYSCREEN);
  std::vector<BYTE> pixels(RowBytes(width) * height);
  *header = BITMAPINFOHEADER{};
  header->biSize = sizeof *header;
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = kBitsPerPixel;
  header->biCompression = BI_RGB;
  header->biSizeImage = static_cast<DWORD>(pixels.size());

  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  bool copied = BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY | CAPTUREBLT);
  SelectObject(memory, previous);
  copied = copied && GetDIBits(memory, bitmap, 0, height, pixels.data(),
                               reinterpret_cast<BITMAPINFO*>(header), DIB_RGB_COLORS) == height;
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!copied) pixels.clear();
  return pixels;
}

bool WriteAll(HANDLE file, const void* data, DWORD size) {
  DWORD written = 0;
  return WriteFile(file, data, size, &written, nullptr) && written == size;
}

}  // namespace

bool SaveScreenshot(const std::string& bmpPath) {
  BITMAPINFOHEADER info;
  std::vector<BYTE> pixels = CaptureScreen(&info);
  if (pixels.empty()) return false;
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  HANDLE handle = CreateFileA(bmpPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool written = WriteAll(handle, &file, sizeof file) && WriteAll(handle, &info, sizeof info) &&
                 WriteAll(handle, pixels.data(), static_cast<DWORD>(pixels.size()));
  CloseHandle(handle);
  return written;
}

}  // namespace gui_driver
