#pragma once

#include "Accounts.h"
#include "FormBody.h"

// One signed-in request as the handlers see it.
struct Request
{
    const FormBody &form;
    const Merchant &merchant;
};
