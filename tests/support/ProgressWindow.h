#pragma once

class ProgressDialog;

// The command channel's progress window, found among the application's top-level widgets as
// the operator would see it; nullptr while no channel has made one.
ProgressDialog *progressDialog();
