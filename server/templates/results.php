<?php
/** @var UninstallStats\ReportFilter $filter */
use UninstallStats\Html;
use UninstallStats\ReasonCatalog;
?>
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Uninstall reasons</title>
<link rel="stylesheet" href="style.css">
</head>
<body>
<header>
  <h1>Why users uninstall</h1>
  <?php if ($logout !== null): ?>
  <form method="post" action="logout.php" class="logout">
    <input type="hidden" name="csrf" value="<?= Html::e($logout) ?>">
    <button type="submit">Log out</button>
  </form>
  <?php endif ?>
</header>
<form method="get" action="./" class="filter">
  <label>Product
    <select name="product">
      <option value="">All products</option>
      <?php foreach ($products as $product): ?>
      <option value="<?= Html::e($product) ?>"<?= $product === $filter->product ? ' selected' : '' ?>><?= Html::e($product) ?></option>
      <?php endforeach ?>
    </select>
  </label>
  <label>From <input type="date" name="from" value="<?= Html::e($filter->from) ?>"></label>
  <label>To <input type="date" name="to" value="<?= Html::e($filter->to) ?>"></label>
  <button type="submit">Show</button>
  <a href="export.php?<?= Html::e($filter->query()) ?>" class="export">Download CSV</a>
</form>
<p class="total" id="total"><?= Html::e($total) ?> reports</p>
<section id="reasons">
  <h2>Reasons</h2>
  <?= $reasonChart ?>
</section>
<section id="weeks">
  <h2>Reports per week</h2>
  <?= $weekChart ?>
</section>
<div class="pair">
  <section id="systems">
    <h2>Operating systems</h2>
    <?= $systemChart ?>
  </section>
  <section id="days">
    <h2>Days in use</h2>
    <?= $dayChart ?>
  </section>
</div>
<section id="free-texts">
  <h2>What users wrote (<?= Html::e($freeTextCount) ?>)</h2>
  <table>
    <thead><tr><th>Received (UTC)</th><th>Product</th><th>Language</th><th>Text</th></tr></thead>
    <tbody>
    <?php foreach ($freeTexts as $row): ?>
      <tr>
        <td><?= Html::e(gmdate('Y-m-d H:i', (int) $row['received_at'])) ?></td>
        <td><?= Html::e($row['product']) ?></td>
        <td><?= Html::e($row['language'] ?? '?') ?></td>
        <td><?= Html::e($row['reason_index'] === null ? $row['reason'] : $row['free_text']) ?></td>
      </tr>
    <?php endforeach ?>
    </tbody>
  </table>
  <?php if ($pages > 1): ?>
  <nav class="pages">
    <?php if ($filter->page > 1): ?><a href="?<?= Html::e($filter->query(['page' => $filter->page - 1])) ?>">Newer</a><?php endif ?>
    <span>Page <?= Html::e($filter->page) ?> of <?= Html::e($pages) ?></span>
    <?php if ($filter->page < $pages): ?><a href="?<?= Html::e($filter->query(['page' => $filter->page + 1])) ?>">Older</a><?php endif ?>
  </nav>
  <?php endif ?>
</section>
</body>
</html>
