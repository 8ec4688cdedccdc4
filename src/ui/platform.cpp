#include "ui/platform.h"

#include <algorithm>

namespace torvane {

const char* ButtonText(TBoxButton button) {
  switch (button) {
    case TBoxButton::Yes: return "はい(&Y)";
    case TBoxButton::No: return "いいえ(&N)";
    case TBoxButton::Ok: return "OK";
    case TBoxButton::Abort: return "中止(&A)";
    case TBoxButton::YesToAll: return "すべてはい(&A)";
  }
  return "";
}

namespace {

bool Offers(const TMessageBox& box, TBoxButton button) {
  return std::find(box.Buttons.begin(), box.Buttons.end(), button) != box.Buttons.end();
}

}  // namespace

TMessageBox PlainBox(std::string caption, std::string text) {
  return {TBoxKind::Plain, std::move(caption), std::move(text), {TBoxButton::Ok}};
}

TMessageBox ErrorBox(std::string caption, std::string text) {
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return {TBoxKind::Error, std::move(caption), std::move(text), {TBoxButton::Ok}};
}

TBoxButton TMessageBox::DefaultButton() const { return Offers(*this, TBoxButton::Ok) ? TBoxButton::Ok : TBoxButton::Yes; }

TBoxButton TMessageBox::EscapeButton() const { return Offers(*this, TBoxButton::No) ? TBoxButton::No : TBoxButton::Ok; }

}  // namespace torvane
