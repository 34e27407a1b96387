<?php
declare(strict_types=1);

namespace UninstallStats;

// Who may see the results. With a password hash configured: whoever logged in with that password in
// this session. Without one: loopback clients only, so a fresh deployment shows nothing to the world.
final class Access
{
    private const COOKIE = 'uninstall_stats';

    public function __construct(private readonly Config $config, private readonly array $server)
    {
    }

    public static function isLoopback(string $address): bool
    {
        if (str_starts_with($address, '::ffff:')) {
            $address = substr($address, strlen('::ffff:'));
        }
        if ($address === '::1') {
            return true;
        }
        return filter_var($address, FILTER_VALIDATE_IP, FILTER_FLAG_IPV4) !== false && str_starts_with($address, '127.');
    }

    public function passwordRequired(): bool
    {
        return $this->config->adminHash() !== '';
    }

    public function start(): void
    {
        $dir = $this->config->ensureDataDir() . '/sessions';
        if (!is_dir($dir) && !@mkdir($dir, 0700) && !is_dir($dir)) {
            throw new ConfigException("the session folder cannot be created: $dir");
        }
        session_save_path($dir);
        session_name(self::COOKIE);
        ini_set('session.use_strict_mode', '1');
        ini_set('session.use_only_cookies', '1');
        // Debian leaves session clean-up to a cron job that does not know this folder.
        ini_set('session.gc_probability', '1');
        ini_set('session.gc_divisor', '100');
        session_set_cookie_params([
            'lifetime' => 0,
            'path' => '/stat/',
            'secure' => ($this->server['HTTPS'] ?? 'off') !== 'off' && ($this->server['HTTPS'] ?? '') !== '',
            'httponly' => true,
            'samesite' => 'Strict',
        ]);
        session_start();
    }

    public function allowed(): bool
    {
        if (!$this->passwordRequired()) {
            return self::isLoopback($this->server['REMOTE_ADDR'] ?? '');
        }
        return ($_SESSION['admin'] ?? false) === true;
    }

    public function loggedIn(): bool
    {
        return $this->passwordRequired() && ($_SESSION['admin'] ?? false) === true;
    }

    public function csrfToken(): string
    {
        if (!is_string($_SESSION['csrf'] ?? null)) {
            $_SESSION['csrf'] = bin2hex(random_bytes(32));
        }
        return $_SESSION['csrf'];
    }

    public function validCsrf(mixed $token): bool
    {
        return is_string($token) && is_string($_SESSION['csrf'] ?? null) && hash_equals($_SESSION['csrf'], $token);
    }

    public function logIn(string $password): bool
    {
        if (!password_verify($password, $this->config->adminHash())) {
            return false;
        }
        // A new session id, so an id planted before the login is worth nothing after it.
        session_regenerate_id(true);
        $_SESSION['admin'] = true;
        $_SESSION['csrf'] = bin2hex(random_bytes(32));
        return true;
    }

    public function logOut(): void
    {
        $_SESSION = [];
        session_regenerate_id(true);
    }

    // The answer for a client that may not see the results.
    public function refusal(): Response
    {
        if ($this->passwordRequired()) {
            return new Response(303, '', ['Location' => 'login.php', 'Cache-Control' => 'no-store']);
        }
        return Response::text(403, "The results answer only to this machine until a password is configured (UNINSTALL_STATS_ADMIN_HASH).\n");
    }
}
