#pragma once
// The one error hierarchy of the program. Anything thrown that does not derive from Exception is
// "outside the general exception class" and is treated as such by the interface layer and the dialog.
#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::string message, int helpContext = 0)
        : message_(std::move(message)), helpContext_(helpContext) {}

    const std::string& Message() const noexcept { return message_; }
    int HelpContext() const noexcept { return helpContext_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
    int helpContext_;
};

// An index outside a list.
class EListError : public Exception { using Exception::Exception; };

// A failed file operation; Code() is the operating system's error number (or 0 when unknown).
class EInOutError : public Exception {
public:
    EInOutError(std::string message, int code) : Exception(std::move(message)), code_(code) {}
    int Code() const noexcept { return code_; }
private:
    int code_;
};

// A file that could not be created.
class EFCreateError : public Exception { using Exception::Exception; };

// An integer result that does not fit its type.
class EIntOverflow : public Exception { using Exception::Exception; };

// An error reported by the interface layer as a status code.
class EOleError : public Exception { using Exception::Exception; };
class EOleSysError : public EOleError {
public:
    EOleSysError(std::string message, long errorCode) : EOleError(std::move(message)), errorCode_(errorCode) {}
    long ErrorCode() const noexcept { return errorCode_; }
private:
    long errorCode_;
};
