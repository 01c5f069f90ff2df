// Device-service user operations: GetUsers, CreateUsers, DeleteUsers and SetUser over the
// in-memory user table.
#pragma once

namespace nvtd {

// GetUsers (plain): the fixed "admin" and "guest" entries, then the table.
int handle_get_users();
// CreateUsers, DeleteUsers, SetUser (body part): `text` points at the body's "Body" and
// `length` counts the bytes from there to the end of the body.
int handle_create_users(const char* text, int length);
int handle_delete_users(const char* text, int length);
int handle_set_user(const char* text, int length);

}  // namespace nvtd
