#include "host/error_forms.h"

#include "host/format.h"
#include "platform/error.h"

namespace plb {

std::string ErrorOccurredText(std::string_view operation, std::string_view class_name, std::string_view message) {
  return Format("%s でエラーが発生しました。\r\n\r\n%s\r\n%s\r\n", operation, class_name, message);
}

std::string ErrorOccurredText(std::string_view operation, const std::exception& e) {
  return ErrorOccurredText(operation, ClassNameOf(e), MessageOf(e));
}

std::string RaisedInText(std::string_view operation, std::string_view class_name, std::string_view message) {
  return Format("%s Raised in %s. ( %s )", class_name, operation, message);
}

std::string RaisedInText(std::string_view operation, const std::exception& e) {
  return RaisedInText(operation, ClassNameOf(e), MessageOf(e));
}

std::string RaisedInParenText(std::string_view operation, std::string_view class_name, std::string_view message) {
  return Format("%s Raised in %s (%s)", class_name, operation, message);
}

std::string RaisedInParenText(std::string_view operation, const std::exception& e) {
  return RaisedInParenText(operation, ClassNameOf(e), MessageOf(e));
}

std::string RaisedInMemberText(std::string_view owner, std::string_view operation, std::string_view class_name,
                               std::string_view message) {
  return Format("%s Raised in %s.%s ( %s )", class_name, owner, operation, message);
}

std::string RaisedInMemberText(std::string_view owner, std::string_view operation, const std::exception& e) {
  return RaisedInMemberText(owner, operation, ClassNameOf(e), MessageOf(e));
}

std::string MemberRaisedText(std::string_view owner, std::string_view operation, std::string_view class_name,
                             std::string_view message) {
  return Format("%s.%s : %s Raised. (%s)", owner, operation, class_name, message);
}

std::string MemberRaisedText(std::string_view owner, std::string_view operation, const std::exception& e) {
  return MemberRaisedText(owner, operation, ClassNameOf(e), MessageOf(e));
}

std::string DoEventErrorText(std::string_view event_class, std::string_view event_owner, std::string_view event_type,
                             std::string_view message) {
  return Format(
      "\r\n\r\n%s.DoEvent でエラーが発生しました。\r\n\r\n\tEventOwner\t:%s\r\n\tEventType\t:%s"
      "\r\n\r\n%s\r\n\r\n",
      event_class, event_owner, event_type, message);
}

}  // namespace plb
