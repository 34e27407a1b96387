<?php
declare(strict_types=1);

namespace UninstallStats;

// stat/login.php: the password form and its check; stat/logout.php ends the session.
final class LoginPage
{
    public function __construct(private readonly Access $access)
    {
    }

    /** @param array<string, mixed> $post */
    public function respond(string $method, array $post): Response
    {
        $this->access->start();
        if (!$this->access->passwordRequired() || $this->access->loggedIn()) {
            return self::redirect('./');
        }
        if ($method !== 'POST') {
            return $this->form(200, '');
        }
        if (!$this->access->validCsrf($post['csrf'] ?? null)) {
            return $this->form(403, 'The form had expired; please try again.');
        }
        if (!is_string($post['password'] ?? null) || !$this->access->logIn($post['password'])) {
            return $this->form(403, 'Wrong password.');
        }
        return self::redirect('./');
    }

    /** @param array<string, mixed> $post */
    public function logOut(string $method, array $post): Response
    {
        $this->access->start();
        if ($method !== 'POST') {
            return Response::text(405, "Log out with the page's button.\n", ['Allow' => 'POST']);
        }
        if (!$this->access->validCsrf($post['csrf'] ?? null)) {
            return Response::text(403, "The form had expired; please try again.\n");
        }
        $this->access->logOut();
        return self::redirect('login.php');
    }

    private function form(int $status, string $error): Response
    {
        $html = Html::render('login', ['csrf' => $this->access->csrfToken(), 'error' => $error]);
        return new Response($status, $html, Html::pageHeaders());
    }

    private static function redirect(string $location): Response
    {
        return new Response(303, '', ['Location' => $location, 'Cache-Control' => 'no-store']);
    }
}
