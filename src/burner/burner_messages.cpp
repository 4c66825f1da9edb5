#include "burner/burner_messages.h"

namespace burner::msg {

std::string Fill(std::string_view Format, std::initializer_list<std::string_view> Args) {
  std::string out;
  auto arg = Args.begin();
  for (size_t i = 0; i < Format.size(); ++i) {
    if (Format[i] == '%' && i + 1 < Format.size() &&
        (Format[i + 1] == 's' || Format[i + 1] == 'd')) {
      if (arg != Args.end()) out += *arg++;
      ++i;
    } else {
      out += Format[i];
    }
  }
  return out;
}

}  // namespace burner::msg
