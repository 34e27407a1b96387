<?php use UninstallStats\Html; ?>
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Uninstall reasons: log in</title>
<link rel="stylesheet" href="style.css">
</head>
<body>
<h1>Why users uninstall</h1>
<form method="post" action="login.php">
  <input type="hidden" name="csrf" value="<?= Html::e($csrf) ?>">
  <label>Password <input type="password" name="password" autofocus required></label>
  <button type="submit">Log in</button>
  <?php if ($error !== ''): ?><p class="error"><?= Html::e($error) ?></p><?php endif ?>
</form>
</body>
</html>
